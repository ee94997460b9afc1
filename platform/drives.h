#pragma once
// The volumes a storage card can be on.

#include <QList>
#include <QString>

namespace kolva {

struct Volume {
    QString rootPath;    // "/media/anna/CARD", "E:/"
    QString name;        // the volume's label, may be empty
    bool isSystem = false; // the volume the system runs from (C: on Windows, / elsewhere)
};

class Drives {
public:
    virtual ~Drives() = default;
    // The mounted volumes, the system volume first.
    virtual QList<Volume> volumes() const = 0;
};

class SystemDrives : public Drives {
public:
    QList<Volume> volumes() const override;
};

} // namespace kolva
