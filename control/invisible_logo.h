#pragma once
// A logo with no pixel that shows (every alpha 0: an ordinary JPEG, a palette PNG) goes on air
// fully transparent, as such pictures always load. Nobody should key an empty frame without
// knowing why: the copy says so once per picture, naming the way out (Make solid).

#include "control/notice.h"

#include <QObject>
#include <QString>

#include <functional>

namespace vantor {

class CopyControl;

inline constexpr char kLogoInvisible[] = "Logo invisible";

// What the copy says of such a logo loaded from `file`, naming the way out.
QString InvisibleLogoWarning(const QString& file);

class InvisibleLogoWatch : public QObject {
    Q_OBJECT

public:
    InvisibleLogoWatch(const CopyControl& control, std::function<void(const Notice&)> report,
                       QObject* parent = nullptr);

private:
    void Look();

    const CopyControl& control_;
    std::function<void(const Notice&)> report_;
    QString said_for_;  // the file last said to be invisible; empty once a picture shows
};

}  // namespace vantor
