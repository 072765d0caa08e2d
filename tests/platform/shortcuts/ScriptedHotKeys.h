// Moved to tests/support; kept until the tests that include this path are switched over.
#include "support/ScriptedHotKeys.h"
