#include "ui/data_exchange.h"

#include "ui/message_box.h"

#include <QLineEdit>

namespace vantor {
namespace {

void Refuse(QLineEdit* field, const QString& message)
{
    ShowMessage(field->window(), QString(), message);
    field->setFocus();
    field->selectAll();
}

}  // namespace

std::optional<int32_t> ReadInteger(QLineEdit* field)
{
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    if (ok)
        return value;
    Refuse(field, QString::fromLatin1(kEnterIntegerMessage));
    return std::nullopt;
}

bool CheckRange(QLineEdit* field, int32_t value, int32_t minimum, int32_t maximum)
{
    if (value >= minimum && value <= maximum)
        return true;
    Refuse(field, QString::fromLatin1(kEnterIntegerRangeMessage).arg(minimum).arg(maximum));
    return false;
}

}  // namespace vantor
