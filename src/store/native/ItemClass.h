#pragma once

#include "store/StoreTypes.h"

#include <QByteArray>

namespace store::native {

// The kind of a message from its message class (PR_MESSAGE_CLASS), compared without regard to
// case: "IPM.Note" and "IPM.Note.*" are mail, "IPM.Appointment" an appointment, and so on. A
// class that names no kind this system knows is Undefined.
ItemType itemTypeOfMessageClass(const QByteArray& messageClass);

} // namespace store::native
