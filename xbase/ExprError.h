// The errors of the expression language: a text that does not compile (syntax, unknown names,
// wrong types) and a value that cannot be computed (division by zero, a string grown too long).
#pragma once

#include "core/Exception.h"

namespace tavrik::xbase {

TAVRIK_EXCEPTION(EExprError, Exception);

}  // namespace tavrik::xbase
