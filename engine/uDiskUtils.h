#pragma once
// The recovery engine's chief header.

#include "engine/Drives.h"
