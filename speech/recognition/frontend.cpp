#include "frontend.h"

#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/fe.h>

std::mutex& FrontEndLock() {
  static std::mutex lock;
  return lock;
}

void ForgetWarp() {
  const char* argv[] = {"varnelo-speech", "-warp_type", "inverse_linear", "-warp_params", "0"};
  cmd_ln_t* config = cmd_ln_parse_r(nullptr, fe_get_args(), 5, const_cast<char**>(argv), FALSE);
  if (!config) return;
  if (fe_t* fe = fe_init_auto_r(config)) fe_free(fe);
  cmd_ln_free_r(config);
}
