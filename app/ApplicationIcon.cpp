#include "app/ApplicationIcon.h"

// The pictures of app/resources.qrc live in a static library, where nothing refers to them: a
// linker keeps them only when called for by name. (This must sit outside any namespace.)
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace halvorix {

QIcon applicationIcon()
{
    registerResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/halvorix/halvorix-%1.png").arg(size));
    return icon;
}

} // namespace halvorix
