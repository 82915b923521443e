// Building a recogniser's front end (its filter bank) safely when several
// recognisers, warped and unwarped, live in one process.
#pragma once

#include <mutex>

// Held while a front end is built; ForgetWarp() first, then the building.
std::mutex& FrontEndLock();

// sphinxbase holds a front end's frequency warp in process-wide variables
// while it builds the front end's filters, and takes a warp equal to the one
// it last read as already set, even after an unwarped front end was built
// since: a trained model's recogniser built after the model in use's was
// left unwarped. A throwaway front end with a warp of another value makes
// the next one read its own afresh.
void ForgetWarp();
