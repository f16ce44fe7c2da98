// The settings library: the field table with its checks, patches of checked
// values, and the settings file.
#pragma once

#include "settings/addressing.h"
#include "settings/fields.h"
#include "settings/patch.h"
#include "settings/settings_file.h"
