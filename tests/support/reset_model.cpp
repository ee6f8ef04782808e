// ResetRunState for tests that link the model and what is below it.
#include "support/layer_reset_model.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetModelLayer();
}
