#pragma once
// The recovery engine: the file tree model with the disc scan, the
// damaged-file copier, and the drives with their volume information.

#include "engine/BadFileRestorator.h"
#include "engine/Drives.h"
#include "engine/FileTree.h"
