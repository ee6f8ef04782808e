// The self-test script runner: one step per timer shot.
#include "script.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

constexpr int kStepGapMs = 100;

struct ScriptRun {
    ControlWindow* control;
    QStringList steps;
    int next;
};

void RunNextStep(std::shared_ptr<ScriptRun> run);

void Schedule(std::shared_ptr<ScriptRun> run, int delayMs) {
    QTimer::singleShot(delayMs, run->control->window.get(), [run] { RunNextStep(run); });
}

void QuitWhenSent(ControlWindow* control) {
    if (!LinkIdle(control->link)) {
        QTimer::singleShot(kStepGapMs, control->window.get(), [control] { QuitWhenSent(control); });
        return;
    }
    // Quorvane has taken every packet; let it finish the last before we close.
    QTimer::singleShot(300, [] { QCoreApplication::quit(); });
}

void RunNextStep(std::shared_ptr<ScriptRun> run) {
    if (run->next >= run->steps.size()) return;
    QStringList words = run->steps[run->next++].split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) return Schedule(run, 0);
    ControlWindow& control = *run->control;
    const QString& verb = words[0];
    int delay = kStepGapMs;
    if (verb == "port" && words.size() == 2) {
        control.portList->setCurrentRow(words[1].toInt() - 1);
    } else if (verb == "color" && words.size() == 4) {
        SetSelectedPortColor(control, QColor(words[1].toInt(), words[2].toInt(), words[3].toInt()));
    } else if (verb == "wait" && words.size() == 2) {
        delay = words[1].toInt();
    } else if (verb == "quit") {
        QuitWhenSent(run->control);
        return;
    } else {
        std::fprintf(stderr, "Quorvane_Net: unknown script step '%s'\n",
                     run->steps[run->next - 1].toLocal8Bit().constData());
    }
    Schedule(run, delay);
}

}  // namespace

void RunControlScript(ControlWindow& control, const QString& script) {
    if (script.trimmed().isEmpty()) return;
    auto run = std::make_shared<ScriptRun>();
    run->control = &control;
    run->steps = script.split(';', Qt::SkipEmptyParts);
    run->next = 0;
    auto previous = control.link.onState;
    control.link.onState = [previous, run](LinkState state) {
        if (previous) previous(state);
        if (state == LinkState::Connected) Schedule(run, kStepGapMs);
        if (state == LinkState::NotFound || state == LinkState::Lost) QCoreApplication::exit(1);
    };
    if (control.link.state == LinkState::Connected) Schedule(run, kStepGapMs);
}
