#include "QuenlarCloudAPI/Platform/SQLiteError.h"

namespace tq {

SQLiteError::SQLiteError(int extendedCode, const std::string& message)
    : std::runtime_error(message + " (code " + std::to_string(extendedCode) + ")"),
      extendedCode_(extendedCode) {}

}  // namespace tq
