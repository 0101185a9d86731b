#include "app/WindowStyle.h"

// Rules addressed to the sidebar come last: they must win over the general
// button rules of equal weight. Buttons with a colour of their own also look
// disabled when they are: the general disabled rule weighs less than theirs.
QString mainWindowStyleSheet()
{
    return QStringLiteral(R"(
QMainWindow, QWidget { background:#f3f6fa; color:#172033; font-family:"Segoe UI"; }

QLabel#SummaryCard { background:#ffffff; border:1px solid #dfe5ee; border-radius:7px; padding:4px 8px; }
QLabel#MutedText { color:#667085; }

QPushButton { background:#ffffff; color:#344054; border:1px solid #d0d7e2; border-radius:7px;
  padding:7px 11px; min-height:20px; }
QPushButton:hover { background:#f8fbff; border-color:#7da7f5; color:#1d4ed8; }
QPushButton:pressed { background:#eef4ff; padding-top:9px; padding-bottom:7px; }
QPushButton:disabled { background:#eef1f5; color:#98a2b3; border-color:#e1e6ee; }
QPushButton#PrimaryButton { background:#2563eb; border-color:#2563eb; color:#ffffff; font-weight:bold; }
QPushButton#PrimaryButton:hover { background:#1d4ed8; border-color:#1d4ed8; }
QPushButton#StopBatchButton { background:#fff7ed; color:#b54708; border-color:#fdba74; font-weight:bold; }
QPushButton#StopBatchButton:hover { background:#ffedd5; color:#9a3412; border-color:#fb923c; }
QPushButton#PrimaryButton:disabled, QPushButton#StopBatchButton:disabled {
  background:#eef1f5; color:#98a2b3; border-color:#e1e6ee; }

QPushButton#RowPrintButton, QPushButton#RowRemoveButton { min-width:0; min-height:0;
  padding:4px 6px; border-radius:6px; font-weight:600; }
QPushButton#RowPrintButton { background:#2563eb; border-color:#2563eb; color:#ffffff; }
QPushButton#RowPrintButton:hover { background:#1d4ed8; border-color:#1d4ed8; }
QPushButton#RowPrintButton:pressed { background:#1e40af; border-color:#1e40af; }
QPushButton#RowRemoveButton { background:#ffffff; color:#344054; border-color:#cbd5e1; }
QPushButton#RowRemoveButton:hover { background:#f8fafc; color:#1d4ed8; border-color:#93b4ee; }
QPushButton#RowRemoveButton:pressed { background:#eef4ff; }
QPushButton#RowPrintButton:disabled, QPushButton#RowRemoveButton:disabled {
  background:#e7ebf1; color:#98a2b3; border-color:#d7dee8; }

QMenu { background:#ffffff; color:#172033; border:1px solid #aeb8c6; padding:4px; }
QMenu::item { padding:7px 30px 7px 12px; margin:1px 0; }
QMenu::item:selected { background:#2563eb; color:#ffffff; }
QMenu::item:pressed { background:#1d4ed8; color:#ffffff; }
QMenu::separator { height:1px; background:#d6dce5; margin:4px 6px; }

QLabel#HotFolderHint { background:#eef5ff; color:#2455a6; border:1px solid #c9dcff;
  border-radius:8px; padding:10px 12px; }

QTabBar { qproperty-drawBase:0; }
QTabBar::tab { background:#e9edf3; color:#667085; border:1px solid #d5dce6; padding:8px 16px;
  margin-right:4px; border-top-left-radius:6px; border-top-right-radius:6px; }
QTabBar::tab:hover { color:#2455a6; }
QTabBar::tab:selected { background:#ffffff; color:#1d4ed8; border-color:#cbd5e1;
  border-bottom-color:#ffffff; font-weight:bold; }

QTableWidget#QueueTable { background:#ffffff; border:1px solid #dfe5ee; border-radius:10px;
  alternate-background-color:#fbfcfe; selection-background-color:#edf4ff;
  selection-color:#172033; outline:0; }
QTableWidget#QueueTable::item:selected, QTableWidget#QueueTable::item:selected:!active {
  background:#edf4ff; color:#172033; }
QHeaderView::section { background:#f8fafc; color:#475467; border:none;
  border-bottom:1px solid #dfe5ee; padding:11px 10px; font-weight:bold; }
QTableWidget::item { border-bottom:1px solid #edf1f6; padding:4px 7px; }

QComboBox, QAbstractSpinBox { background:#ffffff; color:#344054; border:1px solid #cfd7e3;
  border-radius:6px; padding:6px 8px; min-height:20px; }
QComboBox:hover, QAbstractSpinBox:hover { border-color:#7da7f5; }
QAbstractSpinBox { padding-right:22px; }
QAbstractSpinBox::up-button, QAbstractSpinBox::down-button { subcontrol-origin:border; width:18px; border:none;
  border-left:1px solid #e4e9f0; background:transparent; }
QAbstractSpinBox::up-button { subcontrol-position:top right; border-top-right-radius:6px; }
QAbstractSpinBox::down-button { subcontrol-position:bottom right; border-bottom-right-radius:6px; }
QAbstractSpinBox::up-button:hover, QAbstractSpinBox::down-button:hover { background:#eef4ff; }
QAbstractSpinBox::up-arrow { image:url(:/icons/spin_up.svg); width:10px; height:6px; }
QAbstractSpinBox::down-arrow { image:url(:/icons/spin_down.svg); width:10px; height:6px; }
QAbstractSpinBox::up-arrow:disabled, QAbstractSpinBox::up-arrow:off { image:url(:/icons/spin_up_off.svg); }
QAbstractSpinBox::down-arrow:disabled, QAbstractSpinBox::down-arrow:off { image:url(:/icons/spin_down_off.svg); }
QComboBox::drop-down { subcontrol-origin:padding; subcontrol-position:center right; width:20px; border:none; }
QComboBox::down-arrow { image:url(:/icons/spin_down.svg); width:10px; height:6px; }
QComboBox::down-arrow:disabled { image:url(:/icons/spin_down_off.svg); }
QComboBox:disabled { color:#667085; background:#f8fafc; }
QComboBox#PrintEngineCombo { min-width:118px; }

QStatusBar { background:#ffffff; color:#667085; border-top:1px solid #e3e8f0; padding:3px 10px; }

QFrame#Sidebar { background:#12233d; color:#ffffff; }
#Sidebar QPushButton { background:#1d3557; color:#e7eef8; border-color:#2d4a70; text-align:left;
  padding-left:14px; }
#Sidebar QPushButton:hover { background:#294a73; border-color:#5f8ed0; color:#ffffff; }
#Sidebar QPushButton#PrimaryButton { background:#f97316; border-color:#f97316; color:#ffffff;
  text-align:center; }
#Sidebar QPushButton#PrimaryButton:hover { background:#ea580c; border-color:#ea580c; }
#Sidebar QPushButton:disabled { background:#1d3557; color:#7f93ad; border-color:#2d4a70; }
#Sidebar QPushButton#PrimaryButton:disabled { background:#9a5a33; border-color:#9a5a33; color:#e7d3c4; }
#Sidebar QTabBar { background:#12233d; border:none; }
#Sidebar QScrollArea#HotFolderScroll, #Sidebar QWidget#HotFolderHolder { background:#12233d; border:none; }
#Sidebar QScrollBar:vertical { background:#12233d; width:8px; margin:0; }
#Sidebar QScrollBar::handle:vertical { background:#2d4a70; border-radius:4px; min-height:24px; }
#Sidebar QScrollBar::add-line:vertical, #Sidebar QScrollBar::sub-line:vertical { height:0; }
#Sidebar QScrollBar::add-page:vertical, #Sidebar QScrollBar::sub-page:vertical { background:none; }
#Sidebar QComboBox#NormalPrinterCombo { background:#ffffff; color:#172033;
  border:1px solid #b7c5d8; border-radius:4px; padding:3px 8px; }
#Sidebar QPushButton#PrinterPropertiesButton { background:transparent; color:#e7eef8; border:none;
  padding:2px 8px; text-align:left; font-weight:600; }
#Sidebar QPushButton#PrinterPropertiesButton:hover { background:#294a73; color:#ffffff; }
#Sidebar QPushButton#PrinterPropertiesButton:disabled { background:transparent; color:#7f93ad; }
)");
}
