#pragma once

#include <string>
#include <string_view>

#include "device_link/d2xx.h"

// The operator-facing text of a failed D2XX call: the operation label followed by the status
// text ("FT_Read - Invalid Handle"). Statuses outside 1..18 give an empty text, label included.
std::string FtErrorText(std::string_view operationLabel, FT_STATUS status);

// The status part alone (" - Invalid Handle"), empty outside 1..18.
std::string_view FtStatusText(FT_STATUS status);
