// The program's windows convert text with the helpers of the lowest Qt layer, the logger's
// dialogs, which stand before the application object exists.
#pragma once

#include "exlog/ui/QtText.h"
