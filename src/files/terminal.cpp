#include "files/terminal.h"

#include "files/platform.h"

namespace vk {

bool standardInputIsTerminal() { return sys::consoleInputIsTerminal(); }

bool standardOutputIsTerminal() { return sys::consoleOutputIsTerminal(); }

} // namespace vk
