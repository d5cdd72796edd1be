#pragma once
// The recovery engine: the file tree model with the disc scan, and the
// damaged-file copier.

#include "engine/BadFileRestorator.h"
#include "engine/FileTree.h"
