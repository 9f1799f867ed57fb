#include "gui/inspector_panel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>

#include "gui/qt_text.h"
#include "resources/resources.h"
#include "view/view.h"

namespace octile {

namespace {

// The value column holds the longest texts: a length as "0x... (...)" of a
// file past 4 GiB, a 64-bit integer, a date and time.
constexpr int kValueCharacters = 26;

// The table, telling whether a cell's editor is open.
class InspectorTable : public QTableWidget {
  public:
    using QTableWidget::QTableWidget;
    bool Editing() const { return state() == EditingState; }
};

}  // namespace

InspectorPanel::InspectorPanel(COctileView& view, QWidget* parent)
    : QDockWidget(parent), view_(view) {
    setObjectName(QStringLiteral("inspectorDock"));
    // The title is the menu item's short prompt ("ﾃﾞｰﾀ表示").
    setWindowTitle(ToQString(LoadToolTip(ID_VIEW_INSPECTOR)));
    // Docked on the right and shown or hidden by its menu item only, so that
    // the window's width can follow it.
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setAllowedAreas(Qt::RightDockWidgetArea);

    table_ = new InspectorTable(this);
    table_->setObjectName(QStringLiteral("inspectorTable"));
    table_->setColumnCount(2);
    table_->horizontalHeader()->hide();
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);

    const std::vector<InspectorLine> lines = view_.InspectorLines();
    table_->setRowCount(static_cast<int>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* label = new QTableWidgetItem(ToQString(lines[i].label));
        label->setFlags(Qt::ItemIsEnabled);
        table_->setItem(row, kLabelColumn, label);
        auto* value = new QTableWidgetItem();
        // The lengths are shown only; the values below them can be typed over.
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (i >= COctileView::kInspectorLengthLines) flags |= Qt::ItemIsEditable;
        value->setFlags(flags);
        table_->setItem(row, kValueColumn, value);
    }
    table_->resizeColumnToContents(kLabelColumn);
    setWidget(table_);
    setFixedWidth(FittingWidth());
    connect(table_, &QTableWidget::cellChanged, this, &InspectorPanel::OnItemChanged);
    Refresh();
}

bool InspectorPanel::Editing() const { return static_cast<InspectorTable*>(table_)->Editing(); }

int InspectorPanel::FittingWidth() const {
    const int value = table_->fontMetrics().horizontalAdvance(QString(kValueCharacters, u'0'));
    const int scrollBar = table_->verticalScrollBar()->sizeHint().width();
    return table_->columnWidth(kLabelColumn) + value + scrollBar + 2 * table_->frameWidth() +
           2 * style()->pixelMetric(QStyle::PM_DockWidgetFrameWidth, nullptr, this);
}

void InspectorPanel::Refresh() {
    if (!Editing()) FillValues();
}

void InspectorPanel::FillValues() {
    const std::vector<InspectorLine> lines = view_.InspectorLines();
    filling_ = true;
    for (size_t i = 0; i < lines.size() && static_cast<int>(i) < table_->rowCount(); ++i) {
        QTableWidgetItem* item = table_->item(static_cast<int>(i), kValueColumn);
        const QString text = ToQString(lines[i].text);
        if (item->text() != text) item->setText(text);
    }
    filling_ = false;
}

void InspectorPanel::OnItemChanged(int row, int column) {
    if (filling_ || column != kValueColumn) return;
    const auto line = static_cast<size_t>(row);
    if (line < COctileView::kInspectorLengthLines) return;
    // The view beeps at a value it refuses; the old text comes back either
    // way, or the new one read from the file.
    view_.WriteInspectorValue(line - COctileView::kInspectorLengthLines,
                              ToU16(table_->item(row, column)->text()));
    FillValues();
}

bool InspectorPanel::OwnsKey(const QWidget* widget, const QKeyEvent& event) const {
    if (widget == nullptr || !isAncestorOf(widget)) return false;
    if (Editing()) return true;
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event.key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        default:
            return false;
    }
}

}  // namespace octile
