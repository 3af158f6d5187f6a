#include "c_status.h"

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::c_api {

pitchtrack_status fail(pitchtrack_error* error, pitchtrack_status status, const char* message,
                       uint32_t waveCode) {
  if (error != nullptr) {
    error->status = status;
    error->wave_code = waveCode;
    std::snprintf(error->message, sizeof error->message, "%s", message);
  }
  return status;
}

pitchtrack_status failWithCurrentException(pitchtrack_error* error) {
  try {
    throw;
  } catch (const WaveError& e) {
    return fail(error, PITCHTRACK_WAVE_ERROR, e.what(), e.code());
  } catch (const InternalError& e) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (const std::invalid_argument& e) {
    return fail(error, PITCHTRACK_INVALID_ARGUMENT, e.what());
  } catch (const std::length_error& e) {
    return fail(error, PITCHTRACK_TOO_LONG, e.what());
  } catch (const std::logic_error& e) {  // a tracker used after its finish
    return fail(error, PITCHTRACK_INVALID_ARGUMENT, e.what());
  } catch (const std::bad_alloc&) {
    return fail(error, PITCHTRACK_OUT_OF_MEMORY, "not enough memory");
  } catch (const std::exception& e) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, e.what());
  } catch (...) {
    return fail(error, PITCHTRACK_INTERNAL_ERROR, "unknown failure");
  }
}

void requireArgument(bool present, const char* name) {
  if (!present) throw std::invalid_argument(std::string(name) + " is NULL");
}

}  // namespace pitchtrack::c_api
