#pragma once

class QComboBox;

// The one-time switch of the PDF engine default, run once per start before
// the combos are filled. It writes "acrobat" as the Acrobat default only
// where Acrobat can print; elsewhere the built-in engine.
void settleEngineDefaults(bool acrobatInstalled);

// Fills an engine combo with its items and tooltip, selects the stored
// choice (the first item when it matches none) and stores every later change.
void setupPdfEngineCombo(QComboBox *combo);
void setupOfficeEngineCombo(QComboBox *combo);
