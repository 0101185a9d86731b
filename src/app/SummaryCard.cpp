#include "app/SummaryCard.h"

#include <QLabel>

QLabel *makeSummaryCard(const QString &label, const QString &accent, QWidget *parent)
{
    auto *card = new QLabel(parent);
    card->setObjectName(QStringLiteral("SummaryCard"));
    // 78 × 40, and wider when the number needs it (a thousand files, a
    // wider font): a card always shows its whole number.
    card->setMinimumWidth(78);
    card->setFixedHeight(40);
    card->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    card->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    card->setTextFormat(Qt::RichText);
    card->setProperty("label", label);
    card->setProperty("accent", accent);
    setSummaryCardNumber(card, 0);
    return card;
}

void setSummaryCardNumber(QLabel *card, int number)
{
    card->setText(QStringLiteral("<span style='font-size:10px;color:#667085'>%1</span> "
                                 "<span style='font-size:18px;font-weight:700;color:%2'>%3</span>")
                      .arg(card->property("label").toString(), card->property("accent").toString())
                      .arg(number));
}
