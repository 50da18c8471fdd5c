#include "runtime/process_end.h"

#include <windows.h>

namespace qv {

void endProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace qv
