// A short self-test script for end-to-end runs, read from the environment
// variable QUORVANE_NET_SCRIPT: steps separated by ';', run one after another
// once the connection stands, each through the same path as the forms.
//   port N        select port N (1..256) in the port list
//   color R G B   set the selected port's colour, as the colour picker does
//   wait MS       pause
//   quit          end the program once Quorvane has taken every command
// Unknown steps are reported on standard error and skipped.
#pragma once

#include <QString>

#include "window.h"

// Starts the script when `script` is non-empty. With a script the program
// also ends when the connection is lost.
void RunControlScript(ControlWindow& control, const QString& script);
