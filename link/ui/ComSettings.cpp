#include "link/ui/ComSettings.h"

#include <QSettings>

#include "app/ui/AppInfo.h"
#include "link/ComMapping.h"
#include "link/ComSettingsFile.h"

namespace qx::ui {

namespace {

QSettings Profile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle));
}

QString Key(int portNumber) {
    return QString::fromLatin1(kComSettingsGroup) + QLatin1Char('/') +
           QString::fromStdString(ComSettingsKey(portNumber));
}

}  // namespace

void LoadComSettings(ComMapping& mapping) {
    const QSettings settings = Profile();
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        mapping.setStored(n, settings.value(Key(n)).toString().toStdString());
    }
}

void SaveComSettings(const ComMapping& mapping) {
    QSettings settings = Profile();
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        if (mapping.stored(n).empty()) {
            settings.remove(Key(n));
        } else {
            settings.setValue(Key(n), QString::fromStdString(mapping.stored(n)));
        }
    }
}

}  // namespace qx::ui
