// What the check of a run's files and settings finds, shown by the main
// window when a parameter or driver file is chosen and when Run is pressed:
// the findings the command line's check, run and study run give, from the
// same code. Warnings ask whether to go on; a refusal keeps the run from
// starting. The unattended modes show none of this.
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringList>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "check/findings.hpp"
#include "check/run_preparation.hpp"
#include "fileio/param_file.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

namespace {

// More lines than this are summed up in one line: the box stays on the screen.
constexpr std::size_t kMostLinesShown = 20;

QString findings_list(const std::vector<Finding>& findings) {
  QStringList lines;
  for (const Finding& finding : findings) {
    if (static_cast<std::size_t>(lines.size()) == kMostLinesShown) {
      lines << QStringLiteral("... and %1 more (vindrel-cli check lists them all)")
                   .arg(findings.size() - kMostLinesShown);
      break;
    }
    lines << (finding.level == FindingLevel::kRefusal ? QStringLiteral("Refused: ")
                                                      : QStringLiteral("Warning: ")) +
                 QString::fromStdString(finding_text(finding));
  }
  return lines.join(QLatin1Char('\n'));
}

// The findings of what is named so far: the parameter file when named, the
// settings with the states, the driver file when named.
std::vector<Finding> named_inputs_findings(const Model& model, const RunSettings& settings) {
  if (!settings.parameter_file.empty() && !settings.driver_file.empty()) {
    return check_run_inputs(model, settings);
  }
  std::vector<Finding> findings;
  if (!settings.parameter_file.empty()) {
    findings = param_file_findings(settings.parameter_file, model);
  }
  for (Finding& finding : settings_findings(model, settings)) {
    findings.push_back(std::move(finding));
  }
  if (!settings.driver_file.empty()) {
    for (Finding& finding : driver_file_findings(model, settings)) {
      findings.push_back(std::move(finding));
    }
  }
  return findings;
}

// The warnings with what the files they name hold now (size and time of the
// last change): the same warnings of unchanged files need no second answer.
QString warnings_key(const std::vector<Finding>& findings) {
  QString key = findings_list(findings);
  std::set<std::string> files;
  for (const Finding& finding : findings) {
    if (!finding.file.empty()) files.insert(finding.file);
  }
  for (const std::string& file : files) {
    const QFileInfo info(QString::fromStdString(file));
    key += QStringLiteral("\n%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
  }
  return key;
}

}  // namespace

bool TMainForm::findings_allow(const std::vector<Finding>& findings, FindingsMoment moment) {
  if (findings.empty()) return true;
  // Warnings the user has gone on with in this session are not asked again
  // while the files stay as they were; a refusal is said every time.
  const QString key = any_refusal(findings) ? QString() : warnings_key(findings);
  if (!key.isEmpty() && warnings_accepted_.contains(key)) return true;
  if (any_refusal(findings)) {
    const QString consequence =
        moment == FindingsMoment::kRun
            ? QStringLiteral("The run was not started.")
            : QStringLiteral("A run will be refused until this is put right.");
    dialogs_.message(this, MessageKind::kError,
                     QStringLiteral("The check of the run's files and settings found:\n\n") +
                         findings_list(findings) + QStringLiteral("\n\n") + consequence,
                     MessageButtons::kOk);
    // A file that would be refused is still taken, so that it can be put right
    // (the driver editor edits the driver file in use).
    return moment == FindingsMoment::kChoosing;
  }
  const bool go_on =
      dialogs_.message(this, MessageKind::kWarning,
                       QStringLiteral("The check of the run's files and settings found:\n\n") +
                           findings_list(findings) +
                           (moment == FindingsMoment::kRun ? QStringLiteral("\n\nRun as it is?")
                                                           : QStringLiteral("\n\nTake this file?")),
                       MessageButtons::kContinueCancel) == MessageAnswer::kOk;
  if (go_on) warnings_accepted_.insert(key);
  return go_on;
}

bool TMainForm::chosen_file_allowed(FileKind kind, const std::string& name) {
  if (program_.settings.unattended()) return true;
  RunSettings candidate = program_.settings;
  if (kind == FileKind::kParameter) {
    // The states the run would start from are the file's.
    auto scratch = std::make_unique<Model>(program_.model);
    // A file the reader refuses is left to the reader's own message.
    if (!ReadParamFile(name, *scratch)) return true;
    candidate.parameter_file = name;
    return findings_allow(named_inputs_findings(*scratch, candidate), FindingsMoment::kChoosing);
  }
  candidate.driver_file = name;
  return findings_allow(named_inputs_findings(program_.model, candidate),
                        FindingsMoment::kChoosing);
}

bool TMainForm::run_inputs_allowed(bool interactive) {
  const RunSettings& settings = program_.settings;
  RunOptions options;
  options.start = settings.start_time;
  options.stop = settings.stop_time;
  options.step = settings.time_step;
  options.output_step = settings.output_step;
  if (settings.repeat_drivers) options.repeat_drivers = settings.repeat_time;
  if (settings.reset_states) options.reset_every = settings.reset_interval;
  options.first_start = settings.first_start_time;
  options.integrator = std::string(integrator_name(settings.integrator));
  if (settings.integrator != IntegratorKind::kRk4) options.rtol = settings.relative_tolerance;
  // The unattended modes report nothing: only what makes no run is refused.
  const PreparedRun prepared =
      prepare_run({program_.model, settings.parameter_file, settings.driver_file, interactive},
                  options, kDesktopSpelling);
  if (const Finding* mistake = prepared.usage_mistake()) throw std::runtime_error(mistake->text);
  return !interactive || findings_allow(prepared.findings, FindingsMoment::kRun);
}

}  // namespace vindrel::ui
