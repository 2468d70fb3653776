// Runs the Call Menu as a process of its own, as dialer and callhandler do
// once a call is up.
#include "call_menu.h"

int main() { ShowCallMenu(); }
