#pragma once
// The small pictures the dialogs' buttons carry, drawn in code so that no image files have to
// travel with the program.
#include <QIcon>
#include <QPixmap>

namespace Pictures {
QIcon Add();       // a green plus
QIcon Remove();    // a red minus
QIcon Previous();  // an arrow to the left
QIcon Next();      // an arrow to the right
QIcon Ok();        // a green tick
QIcon Cancel();    // a red cross
QIcon Help();      // a question mark
QIcon Properties();
// The about box's 32 x 32 title pictures: a joystick (0) and a cartridge (1).
QPixmap Emblem(int which);
}  // namespace Pictures
