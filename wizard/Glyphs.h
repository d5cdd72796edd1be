#pragma once
// The window's pictures: glyphs from the desktop's icon theme where it has a
// fitting one that renders, else our own drawn here; the product logo from
// the program's resources.

#include <QIcon>
#include <QPixmap>

#include "wizard/WizardButtons.h"

QIcon ButtonGlyph(TButtonGlyph glyph);  // the 18-pixel glyphs of the bottom buttons
QIcon GearsIcon();                      // How it works?
QIcon VideoIcon();
QIcon HelpIcon();          // blue question mark
QIcon HomeIcon();          // the product on the web
QIcon OpticalDriveIcon();  // an optical drive with a disc
QIcon FolderIcon();        // a folder of the file tree
QIcon FileIcon();          // a file of the file tree
QPixmap ProductLogo();     // 256 x 256 with alpha; null when missing

// Makes the library's embedded resources available (logo, help topics).
void InitWizardResources();
