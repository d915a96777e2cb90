#include "engines/converter/converter.h"
#include "engines/converter/converter_internal.h"
#include "engines/messages/result_codes.h"

namespace rm::converter {

int32_t converteToMedia(ConvertJob* job, const char*, int32_t)
{
    return job ? messages::kResultEncodeFailed : messages::kResultNoInput;
}

} // namespace rm::converter
