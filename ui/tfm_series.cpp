#include "ui/tfm_series.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/window_parts.hpp"

namespace vindrel::ui {

void set_list_columns(QListWidget* list, int columns) {
  list->setViewMode(QListView::ListMode);
  list->setFlow(QListView::TopToBottom);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setUniformItemSizes(true);
  const int width = std::max(1, list->viewport()->width() / std::max(1, columns));
  const int height = list->fontMetrics().height() + 4;
  list->setGridSize(QSize(width, height));
}

namespace {

// Lays a list out again after each resize, once its viewport has its new width.
class ListColumns final : public QObject {
 public:
  ListColumns(QListWidget* list, std::function<int()> columns)
      : QObject(list), list_(list), columns_(std::move(columns)) {
    list->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == list_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
      set_list_columns(list_, columns_());
    }
    return false;
  }

 private:
  QListWidget* list_;
  std::function<int()> columns_;
};

}  // namespace

void keep_list_columns(QListWidget* list, std::function<int()> columns) {
  new ListColumns(list, std::move(columns));
}

int list_columns_for_width(int width) {
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(width) / 200.0)));
}

QStringList sorted_variable_names(QStringList names) {
  std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

TFmSeries::TFmSeries(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFmSeries"));
  LbxChooseSeries = named(new QListWidget(this), "LbxChooseSeries");
  BtnOK = named(new QPushButton(QStringLiteral("OK"), this), "BtnOK");
  BtnOK->setDefault(true);
  BtnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "BtnCancel");
  BtnClearSelection =
      named(new QPushButton(QStringLiteral("Clear Selection"), this), "BtnClearSelection");

  auto* buttons = new QHBoxLayout();
  buttons->addWidget(BtnClearSelection);
  buttons->addStretch();
  buttons->addWidget(BtnOK);
  buttons->addWidget(BtnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LbxChooseSeries, 1);
  layout->addLayout(buttons);
  resize(820, 460);
  keep_list_columns(LbxChooseSeries, [this] { return list_columns_for_width(width()); });

  connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // The chosen names are deselected; OK then takes the list's selection.
  connect(BtnClearSelection, &QPushButton::clicked, this,
          [this] { LbxChooseSeries->clearSelection(); });
  connect(LbxChooseSeries, &QListWidget::itemDoubleClicked, this, [this] {
    if (independent_) accept();
  });
}

void TFmSeries::fill(const QStringList& sorted_names) {
  LbxChooseSeries->clear();
  LbxChooseSeries->addItems(sorted_names);
}

void TFmSeries::prepare_independent(const QStringList& sorted_names, const QString& current) {
  independent_ = true;
  setWindowTitle(QStringLiteral("Independent Axis - Choose one series."));
  LbxChooseSeries->setSelectionMode(QAbstractItemView::SingleSelection);
  fill(sorted_names);
  const auto found = LbxChooseSeries->findItems(current, Qt::MatchExactly);
  if (!found.isEmpty()) {
    LbxChooseSeries->setCurrentItem(found.front());
    found.front()->setSelected(true);
  }
}

void TFmSeries::prepare_dependent(const QStringList& sorted_names, const QList<bool>& selected) {
  independent_ = false;
  setWindowTitle(QStringLiteral("Dependent Axis - Choose series."));
  LbxChooseSeries->setSelectionMode(QAbstractItemView::MultiSelection);
  fill(sorted_names);
  for (int i = 0; i < LbxChooseSeries->count() && i < selected.size(); ++i) {
    LbxChooseSeries->item(i)->setSelected(selected[i]);
  }
}

QString TFmSeries::selected_name() const {
  for (int i = 0; i < LbxChooseSeries->count(); ++i) {
    if (LbxChooseSeries->item(i)->isSelected()) return LbxChooseSeries->item(i)->text();
  }
  return {};
}

QList<bool> TFmSeries::selection() const {
  QList<bool> selected;
  for (int i = 0; i < LbxChooseSeries->count(); ++i) {
    selected << LbxChooseSeries->item(i)->isSelected();
  }
  return selected;
}

}  // namespace vindrel::ui
