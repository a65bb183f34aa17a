#include "ui/tfm_parameter.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string>

#include "core/exceptions.hpp"
#include "run/evaluate_at_time.hpp"
#include "ui/coloured_tabs.hpp"
#include "ui/error_handler.hpp"
#include "ui/parameter_table_model.hpp"
#include "ui/tdata_form.hpp"
#include "ui/value_cells.hpp"

namespace vindrel::ui {

namespace {

const QString kNoDriverFile =
    QStringLiteral("No Driver File. Process values will not be calculated.");
const QString kInvalidParameter =
    QStringLiteral("Invalid Parameter. Process values will not be calculated.");
const QString kConfirmUpdate =
    QStringLiteral("Previous parameter values will be lost if you proceed. Continue?");

// Tab colour and text colour of each family of processes.
struct FamilyColours {
  QColor tab;
  QColor text;
};
FamilyColours family_colours(int family) {
  switch (family) {
    case 1:
      return {QColor(0, 128, 128), Qt::white};  // transport and growth of plant tissue
    case 2:
      return {QColor(128, 0, 0), Qt::white};  // soil organic matter
    case 3:
      return {QColor(0, 0, 128), Qt::white};  // water and soil-solution nitrogen
    case 4:
      return {QColor(192, 192, 192), Qt::black};  // climate, phenology, ecosystem totals
    default:
      return {QColor(0, 128, 0), Qt::white};  // plant processes and budget totals
  }
}

QString qtext(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TFmParameter::TFmParameter(ProgramState& program, Dialogs& dialogs, TDataForm& data_form,
                           QWidget* parent)
    : QDialog(parent),
      program_(program),
      dialogs_(dialogs),
      data_form_(data_form),
      data_form_alive_(&data_form),
      tabs_(new ColouredTabs(this)),
      stack_(new QStackedWidget(this)),
      EdFilter(new QLineEdit(this)),
      LbFound(new QLabel(this)),
      LbCalculation(new QLabel(this)),
      BtnUpdateProc(new QPushButton(QStringLiteral("&Update processes"), this)),
      BtnShowAllProcess(new QPushButton(QStringLiteral("&Show all processes"), this)),
      BtnOK(new QPushButton(QStringLiteral("&OK"), this)),
      BtnClose(new QPushButton(QStringLiteral("&Cancel"), this)) {
  setObjectName(QStringLiteral("TFmParameter"));
  tabs_->setObjectName(QStringLiteral("PageControl"));
  tabs_->setAccessibleName(QStringLiteral("Processes"));
  EdFilter->setObjectName(QStringLiteral("EdFilter"));
  LbFound->setObjectName(QStringLiteral("LbFound"));
  LbCalculation->setObjectName(QStringLiteral("LbCalculation"));
  BtnUpdateProc->setObjectName(QStringLiteral("BtnUpdateProc"));
  BtnShowAllProcess->setObjectName(QStringLiteral("BtnShowAllProcess"));
  BtnOK->setObjectName(QStringLiteral("BtnOK"));
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  for (QPushButton* b : {BtnUpdateProc, BtnShowAllProcess, BtnOK, BtnClose}) {
    b->setAutoDefault(false);
  }
  BtnOK->setDefault(true);

  // Tabs are 17.5 times the font's size in points wide.
  const double points = font().pointSizeF();
  tabs_->set_tab_width(points > 0 ? static_cast<int>(std::lround(17.5 * points)) : 150);

  EdFilter->setPlaceholderText(QStringLiteral("Find a parameter by symbol or name"));
  EdFilter->setClearButtonEnabled(true);
  auto* find_label = new QLabel(QStringLiteral("&Find:"), this);
  find_label->setBuddy(EdFilter);
  auto* find_row = new QHBoxLayout;
  find_row->addWidget(find_label);
  find_row->addWidget(EdFilter, 1);
  find_row->addWidget(LbFound, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnUpdateProc);
  buttons->addWidget(BtnShowAllProcess);
  buttons->addWidget(LbCalculation, 1);
  buttons->addWidget(BtnOK);
  buttons->addWidget(BtnClose);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(find_row);
  layout->addWidget(tabs_);
  layout->addWidget(stack_, 1);
  layout->addLayout(buttons);

  edit_history_ = make_edit_history(*this);
  build_pages();
  resize(1040, 700);

  connect(tabs_, &ColouredTabs::current_changed, stack_, &QStackedWidget::setCurrentIndex);
  connect(EdFilter, &QLineEdit::textEdited, this, [this](const QString& text) {
    last_found_ = -1;
    find_parameter(text, false);
  });
  connect(EdFilter, &QLineEdit::returnPressed, this,
          [this] { find_parameter(EdFilter->text(), true); });
  connect(BtnUpdateProc, &QPushButton::clicked, this,
          [this] { guarded(this, dialogs_, [this] { UpdateProcesses(); }); });
  connect(BtnShowAllProcess, &QPushButton::clicked, this, &TFmParameter::show_all_clicked);
  connect(BtnOK, &QPushButton::clicked, this, &TFmParameter::ok_clicked);
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TFmParameter::build_pages() {
  const Model& model = program_.model;
  const int states = model.ModelInfo.StateCount;
  for (int p = states + 1; p <= model.ModelInfo.ProcessCount; ++p) {
    const Tprocessvariable& process = model.processes[p];
    if (process.parameters <= 0) continue;
    Page page;
    page.process = p;
    page.widget = new QWidget(stack_);
    page.widget->setObjectName(QStringLiteral("Ts%1").arg(p - states));
    page.widget->setAccessibleName(qtext(process.name));

    page.symbol = new QLabel(qtext(process.symbol), page.widget);
    page.value = new QLabel(page.widget);
    page.units = new QLabel(qtext(process.units), page.widget);
    page.symbol->setObjectName(QStringLiteral("LblSymbol"));
    page.value->setObjectName(QStringLiteral("LblValue"));
    page.units->setObjectName(QStringLiteral("LblUnits"));
    QFont big = page.symbol->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    big.setBold(true);
    page.symbol->setFont(big);
    page.value->setFont(big);
    page.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page.value->setMinimumWidth(page.value->fontMetrics().horizontalAdvance("-8.8888E-888") + 8);
    auto* top = new QHBoxLayout;
    top->addWidget(page.symbol);
    top->addSpacing(24);
    top->addWidget(page.value);
    top->addSpacing(8);
    top->addWidget(page.units);
    top->addStretch(1);

    page.model = new ParameterTableModel(program_.model, p, page.widget);
    page.model->set_undo_stack(edit_history_);
    page.grid = new QTableView(page.widget);
    page.grid->setObjectName(QStringLiteral("SgParameters"));
    page.grid->setModel(page.model);
    page.grid->setItemDelegate(new GridDelegate(page.grid));
    page.grid->verticalHeader()->hide();
    page.grid->setSelectionMode(QAbstractItemView::SingleSelection);
    page.grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    page.grid->setWordWrap(false);
    page.grid->horizontalHeader()->setStretchLastSection(true);
    page.grid->setColumnWidth(ParameterTableModel::kSymbol, 110);
    page.grid->setColumnWidth(ParameterTableModel::kName, 260);
    page.grid->setColumnWidth(ParameterTableModel::kValue, 200);

    auto* layout = new QVBoxLayout(page.widget);
    layout->addLayout(top);
    layout->addWidget(page.grid, 1);

    const FamilyColours colours = family_colours(process.family);
    tabs_->add_tab(qtext(process.name), colours.tab, colours.text);
    stack_->addWidget(page.widget);
    pages_.push_back(page);
  }
}

int TFmParameter::exec() {
  show_contents(false);
  return QDialog::exec();
}

void TFmParameter::open() {
  show_contents(false);
  QDialog::open();
}

int TFmParameter::current_page() const { return stack_->currentIndex(); }

void TFmParameter::set_current_page(int page) {
  tabs_->set_current(page);
  stack_->setCurrentIndex(page);
}

int TFmParameter::page_of_process(int process) const {
  for (int i = 0; i < page_count(); ++i) {
    if (pages_[static_cast<std::size_t>(i)].process == process) return i;
  }
  return -1;
}

void TFmParameter::close_editors() {
  // Moving the cursor away commits an open editor and closes it.
  for (const Page& page : pages_) page.grid->setCurrentIndex(QModelIndex());
}

void TFmParameter::CalculateProcesses() { evaluate_at_time(program_.model, program_.settings); }

void TFmParameter::show_contents(bool from_update) {
  if (!from_update) {
    applied_ = false;
    BtnClose->setText(QStringLiteral("&Cancel"));
  }
  setWindowTitle(QStringLiteral("Parameters - File: ") + qtext(program_.settings.parameter_file));
  const QString day = value_text(program_.settings.calculation_time);
  if (program_.settings.driver_file.empty()) {
    LbCalculation->setText(QStringLiteral("No driver file: process values not calculated"));
    dialogs_.message(this, MessageKind::kWarning, kNoDriverFile, MessageButtons::kOk);
  } else if (program_.flags.parameter_file_new || program_.flags.driver_file_new) {
    LbCalculation->setText(QStringLiteral("New file: process values not calculated"));
  } else {
    try {
      CalculateProcesses();
      LbCalculation->setText(QStringLiteral("Process values at time %1").arg(day));
    } catch (const std::exception& e) {
      LbCalculation->setText(QStringLiteral("Not calculated: ") + QString::fromLocal8Bit(e.what()));
      dialogs_.message(this, MessageKind::kWarning, kInvalidParameter, MessageButtons::kOk);
    }
  }
  LbCalculation->setToolTip(LbCalculation->text());
  close_editors();
  for (const Page& page : pages_) {
    page.value->setText(general5(program_.model.processes[page.process].value));
    page.model->fill();
  }
  // The values shown afresh: earlier edits are no longer there to undo.
  edit_history_->clear();
}

void TFmParameter::go_to_cell(int page, int row) {
  set_current_page(page);
  QTableView* view = grid(page);
  const QModelIndex cell = page_model(page)->index(row, ParameterTableModel::kValue);
  view->setFocus();
  view->setCurrentIndex(QModelIndex());
  view->scrollTo(cell);
  view->setCurrentIndex(cell);
}

bool TFmParameter::apply_parameters() {
  close_editors();
  // Every cell is checked before any value is written.
  for (int i = 0; i < page_count(); ++i) {
    const int bad = page_model(i)->first_invalid_row();
    if (bad < 0) continue;
    const Tparamvariable& p = program_.model.parameters[page_model(i)->parameter(bad)];
    dialogs_.message(this, MessageKind::kError,
                     QStringLiteral("\"%1\" is not a number: parameter %2 (%3, %4) on the page "
                                    "\"%5\". No parameters were changed.")
                         .arg(page_model(i)->value_cell(bad))
                         .arg(page_model(i)->parameter(bad))
                         .arg(qtext(p.symbol), qtext(p.name), tabs_->tab_text(i)),
                     MessageButtons::kOk);
    go_to_cell(i, bad);
    return false;
  }
  for (const Page& page : pages_) page.model->apply();
  program_.set(&MainFlags::parameters_modified, true);
  return true;
}

bool TFmParameter::UpdateProcesses() {
  close_editors();
  for (int i = 0; i < page_count(); ++i) {
    if (page_model(i)->first_invalid_row() >= 0) return apply_parameters();  // says which
  }
  if (!applied_) {
    if (dialogs_.message(this, MessageKind::kWarning, kConfirmUpdate, MessageButtons::kOkCancel) !=
        MessageAnswer::kOk) {
      return false;
    }
    BtnClose->setText(QStringLiteral("&Close"));
    applied_ = true;
  }
  if (!apply_parameters()) return false;
  show_contents(true);
  data_form_.refresh_processes();
  return true;
}

void TFmParameter::show_all_clicked() {
  guarded(this, dialogs_, [this] {
    if (UpdateProcesses()) data_form_.ShowProcess();
  });
}

void TFmParameter::ok_clicked() {
  guarded(this, dialogs_, [this] {
    if (!apply_parameters()) return;
    accept();
  });
}

TFmParameter::~TFmParameter() {
  if (data_form_alive_) data_form_alive_->return_to_owner();
}

void TFmParameter::done(int result) {
  if (data_form_alive_) {
    if (data_form_alive_->isVisible()) data_form_alive_->hide();
    data_form_alive_->return_to_owner();
  }
  QDialog::done(result);
}

void TFmParameter::keyPressEvent(QKeyEvent* event) {
  // Return in a grid or in the filter box finishes the cell or finds the next
  // match; it does not close the window.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  QWidget* focus = focusWidget();
  if (enter && focus && (stack_->isAncestorOf(focus) || focus == EdFilter)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TFmParameter::find_parameter(const QString& text, bool select) {
  const QString wanted = text.trimmed();
  struct Match {
    int rank;
    int page;
    int row;
    int parameter;
  };
  std::vector<Match> matches;
  if (!wanted.isEmpty()) {
    for (int i = 0; i < page_count(); ++i) {
      const ParameterTableModel* model = page_model(i);
      for (int row = 0; row < model->rowCount(); ++row) {
        const Tparamvariable& p = program_.model.parameters[model->parameter(row)];
        const QString symbol = qtext(p.symbol);
        int rank = -1;
        if (symbol.compare(wanted, Qt::CaseInsensitive) == 0) {
          rank = 0;
        } else if (symbol.startsWith(wanted, Qt::CaseInsensitive)) {
          rank = 1;
        } else if (symbol.contains(wanted, Qt::CaseInsensitive) ||
                   qtext(p.name).contains(wanted, Qt::CaseInsensitive)) {
          rank = 2;
        }
        if (rank >= 0) matches.push_back({rank, i, row, model->parameter(row)});
      }
    }
  }
  std::stable_sort(matches.begin(), matches.end(),
                   [](const Match& a, const Match& b) { return a.rank < b.rank; });
  if (matches.empty()) {
    LbFound->setText(wanted.isEmpty() ? QString() : QStringLiteral("No parameter matches"));
    return false;
  }
  std::size_t chosen = 0;
  if (select) {
    for (std::size_t k = 0; k < matches.size(); ++k) {
      if (matches[k].parameter == last_found_) chosen = (k + 1) % matches.size();
    }
    last_found_ = matches[chosen].parameter;
  }
  const Match& m = matches[chosen];
  const Tparamvariable& p = program_.model.parameters[m.parameter];
  LbFound->setText(QStringLiteral("%1 of %2: %3 (%4) on \"%5\"%6")
                       .arg(chosen + 1)
                       .arg(matches.size())
                       .arg(qtext(p.symbol), qtext(p.name), tabs_->tab_text(m.page),
                            select ? QString() : QStringLiteral(", Enter to select")));
  if (select) {
    go_to_cell(m.page, m.row);
  } else {
    set_current_page(m.page);
  }
  return true;
}

}  // namespace vindrel::ui
