#pragma once

#include <QString>

class QLabel;
class QWidget;

// A summary card: a caption and a number in the caption's accent colour.
QLabel *makeSummaryCard(const QString &label, const QString &accent, QWidget *parent);
// Rebuilds the card's text from its "label" and "accent" properties.
void setSummaryCardNumber(QLabel *card, int number);
