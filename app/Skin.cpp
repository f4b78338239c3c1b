#include "app/Skin.h"

#include "app/Twips.h"
#include "core/AppError.h"
#include "core/FileSystemService.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace halvorix {

void SkinFramework::LoadSkin(const QString &path, const QString &section)
{
    Q_UNUSED(section); // a style sheet has no sections
    QFile file(path);
    openToReadOrThrow(file);
    styleSheet_ = QString::fromUtf8(file.readAll());
    loaded_ = true;
}

bool SkinFramework::Option(int memberId) const
{
    const auto it = options_.find(memberId);
    return it != options_.end() && it->second;
}

void SkinFramework::ApplyWindow(QWidget *window) const
{
    if (!loaded_)
        return;
    // After the window's own rules (its frames, the colours SkinApply gave it), so the skin's win
    // where both speak and the others stay.
    window->setStyleSheet(window->styleSheet() + styleSheet_);
    if ((applyOptions_ & kApplyToDialogs) && qobject_cast<QApplication *>(QCoreApplication::instance()))
        qApp->setStyleSheet(styleSheet_);
}

void SkinApply(FileSystemService &fs, const QString &appFolder, QWidget &window, SkinFramework &skin)
{
    const QString skinPath = appFolder + QStringLiteral("/x/o.cjs");
    if (fs.list(skinPath, 0).empty())
        return;
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    setBackgroundColour(window, buttonFace);
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (qobject_cast<QRadioButton *>(control) || qobject_cast<QCheckBox *>(control)
            || qobject_cast<QGroupBox *>(control) || qobject_cast<QLabel *>(control))
            setBackgroundColour(*control, buttonFace);
    }
    skin.LoadSkin(skinPath, QString());
    skin.SetApplyOptions(skin.ApplyOptions() | SkinFramework::kApplyToDialogs);
    skin.SetOption(5, true);
    skin.SetOption(10, true);
    skin.ApplyWindow(&window);
}

} // namespace halvorix
