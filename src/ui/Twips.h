#pragma once
// Twips live with the shared procedures; windows include them from here too.
#include "common/Twips.h"
