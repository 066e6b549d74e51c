#include "screens/devices_control_dlg.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

#include "controls/grid_ctrl.h"
#include "controls/picture.h"
#include "controls/picture_button.h"
#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/skin_label.h"
#include "i18n/language.h"
#include "i18n/qt/retitle.h"
#include "screens/delayed_tooltip.h"
#include "screens/error_tip_wnd.h"
#include "screens/modal_runner.h"
#include "screens/note_dlg.h"
#include "screens/skin_colors.h"
#include "workflow/delivery_results.h"
#include "workflow/delivery_watch.h"

namespace brevant {

namespace {

const QString kFace = QString::fromLatin1(kSkinFontFace);

// The blanks after "Scanning" leave room for the spinner.
const char kScanText[] = "Scan Devices";
const char kScanningText[] = "Scanning   ";

QString Tr(const char* text) {
  return QString::fromStdString(Translate(text));
}

// The pack has a line at a time: a text of several lines is translated line by line.
QString TranslateLines(const std::string& text) {
  std::string out;
  std::size_t from = 0;
  while (true) {
    const auto end = text.find('\n', from);
    std::string line = text.substr(from, end == std::string::npos ? end : end - from);
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr)
      line.pop_back();
    out += Translate(line);
    if (end == std::string::npos)
      break;
    out += cr ? "\r\n" : "\n";
    from = end + 1;
  }
  return QString::fromStdString(out);
}

ScanActions ActionsFor(const ScreenServices& services) {
  if (services.link == nullptr || services.store == nullptr)
    return {};
  return ScanActionsFor(*services.link, *services.store);
}

}  // namespace

CDevicesControlDlg::CDevicesControlDlg(QWidget* parent, const ScreenServices& services,
                                       PageHost& host)
    : CTDialog(parent, Kind::Page),
      services_(services),
      host_(host),
      customization_(new CTButtonPicture(QStringLiteral("Device Customization"), this)),
      antiTheft_(new CTButtonPicture(QStringLiteral("Anti-Theft Protection"), this)),
      scanButton_(new CTButtonPicture(QString::fromLatin1(kScanText), this)),
      wait_(new CTPicture(this)),
      adapterLabel_(new CTStaticGdiplus(this)),
      change_(new CTButtonPicture(QStringLiteral("Change"), this)),
      successText_(new CTStaticGdiplus(QStringLiteral("Configuration successful: "), this)),
      successCount_(new CTStaticGdiplus(QStringLiteral("0"), this)),
      failureText_(new CTStaticGdiplus(QStringLiteral("devices, Failed:"), this)),
      failureCount_(new CTStaticGdiplus(QStringLiteral("0"), this)),
      devicesText_(new CTStaticGdiplus(QStringLiteral("devices"), this)),
      grid_(new CGridCtrl(this)),
      balloon_(new CErrorTipWnd(this)),
      resultsMenu_(new QMenu(this)),
      exportAction_(resultsMenu_->addAction(QStringLiteral("Export results\u2026"))),
      tickFailedAction_(resultsMenu_->addAction(QStringLiteral("Tick failed devices"))),
      scan_(ActionsFor(services)) {
  setObjectName(QStringLiteral("deviceList"));
  setAccessibleName(QStringLiteral("Device list"));
  customization_->setObjectName(QStringLiteral("customizationButton"));
  antiTheft_->setObjectName(QStringLiteral("antiTheftButton"));
  scanButton_->setObjectName(QStringLiteral("scanDevicesButton"));
  wait_->setObjectName(QStringLiteral("scanAnimation"));
  wait_->setAccessibleName(QStringLiteral("Scanning"));
  adapterLabel_->setObjectName(QStringLiteral("adapterLabel"));
  change_->setObjectName(QStringLiteral("changeButton"));
  successText_->setObjectName(QStringLiteral("successText"));
  successCount_->setObjectName(QStringLiteral("successCount"));
  failureText_->setObjectName(QStringLiteral("failureText"));
  failureCount_->setObjectName(QStringLiteral("failureCount"));
  devicesText_->setObjectName(QStringLiteral("devicesText"));
  grid_->setObjectName(QStringLiteral("deviceGrid"));
  grid_->setAccessibleName(QStringLiteral("Devices"));
  for (auto* button : {customization_, antiTheft_, scanButton_, change_})
    button->setAccessibleName(button->text());

  TranslateWindow(this);
  // The counter line's parts are spaced by the layout, not by their blanks.
  for (auto* label : {successText_, failureText_, devicesText_})
    label->setText(label->text().trimmed());

  setFixedSize(817, 492);
  SetBackgroundFill(true);
  SetBackgroundColor(ToQColor(services_.settings.childBkColor));

  // Buttons along the top, the adapter and the counters under them, the grid.
  customization_->setGeometry(24, 24, 140, 24);
  antiTheft_->setGeometry(180, 24, 142, 24);
  scanButton_->setGeometry(700, 24, 96, 24);
  wait_->setGeometry(773, 28, 16, 16);
  adapterLabel_->setGeometry(561, 56, 194, 18);
  change_->setGeometry(749, 56, 48, 18);
  grid_->setGeometry(24, 84, 773, 392);

  for (auto* button : {customization_, antiTheft_, scanButton_}) {
    button->SetPictures(Skin("protection_btn_normal.png"), Skin("protection_btn_over.png"),
                        Skin("protection_btn_down.png"), Skin("protection_btn_disable.png"));
    button->SetCaptionFont(kFace, 15, 400);
  }
  change_->SetPicture(Skin("change_btn_normal.png"));
  change_->SetCaptionFont(kFace, 13, 400);
  // One picture for every state: a paler caption says it is disabled.
  change_->SetCaptionColor(ControlState::Disabled, QColor(246, 190, 192));
  change_->raise();  // over the adapter label's last pixels

  wait_->Load(Skin("wait_search.gif"));
  // The spinner is drawn on white: a round white badge on the button.
  CTDialog::ApplyRoundedShape(wait_, 8);
  wait_->hide();

  adapterLabel_->SetTextFont(kFace, 15, 400);
  adapterLabel_->SetTextColor(kSoftInk);
  adapterLabel_->SetTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  DelayedToolTip::Install(adapterLabel_, 500);
  SetAdapterName(QString());

  for (auto* label : {successText_, failureText_, devicesText_}) {
    label->SetTextFont(kFace, 15, 400);
    label->SetTextColor(kSoftInk);
    label->SetTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  successCount_->SetTextFont(kFace, 15, 700);
  successCount_->SetTextColor(kSuccessGreen);
  failureCount_->SetTextFont(kFace, 15, 700);
  failureCount_->SetTextColor(kBrandRed);
  for (auto* label : {successCount_, failureCount_})
    label->SetTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LayoutCounters();

  // The grid: four columns, the header row, the skin's check marks and status
  // icons at fixed indices (a missing picture leaves its index empty).
  const AppSettings& s = services_.settings;
  grid_->SetColumnCount(4);
  grid_->SetFixedRowCount(1);
  const int widths[] = {63, 232, 341, 127};
  for (int col = 0; col < 4; ++col)
    grid_->SetColumnWidth(col, widths[col]);
  grid_->SetRowHeight(0, 38);
  grid_->SetDefaultRowHeight(s.gridRowHeight);
  grid_->SetDefaultCellFont(true, SkinFont(QString::fromStdString(s.gridTitleFont.face),
                                           s.gridTitleFont.height, s.gridTitleFont.weight));
  grid_->SetDefaultCellFont(false, SkinFont(QString::fromStdString(s.gridFont.face),
                                            s.gridFont.height, s.gridFont.weight));
  grid_->SetDefaultCellColors(true, ToQColor(s.gridTitleTextColor), ToQColor(s.gridTitleBkColor));
  grid_->SetDefaultCellColors(false, ToQColor(s.gridTextColor), ToQColor(s.childBkColor));
  grid_->SetGridBkColor(ToQColor(s.childBkColor));
  grid_->SetGridLineColor(ToQColor(s.lineColor));
  const char* pictures[] = {"unselect.bmp", "select.bmp", "part_select.bmp",
                            "success.bmp",  "error.bmp",  "operating.bmp"};
  for (int i = 0; i < 6; ++i)
    images_.SetImage(i, Skin(pictures[i]));
  grid_->SetImageList(&images_);
  grid_->SetItemImage(0, kCheckColumn, kImageClear);
  grid_->SetItemText(0, kNumberColumn, Tr("No."));
  grid_->SetItemText(0, kMacColumn, Tr("MAC Address"));
  grid_->SetItemText(0, kStatusColumn, Tr("Status"));
  grid_->SetSortColumn(kMacColumn);
  grid_->SetSortAscending(true);
  grid_->viewport()->setMouseTracking(true);
  grid_->viewport()->installEventFilter(this);
  grid_->installEventFilter(this);

  resultsMenu_->setObjectName(QStringLiteral("resultsMenu"));
  exportAction_->setObjectName(QStringLiteral("exportResultsAction"));
  tickFailedAction_->setObjectName(QStringLiteral("tickFailedAction"));
  resultsMenu_->setFont(SkinFont(kFace, 16, 400));
  resultsMenu_->setStyleSheet(QStringLiteral(
      "QMenu { background-color: #ffffff; color: rgb(68,68,79); border: 1px solid rgb(222,224,230);"
      " padding: 4px 0px; }"
      "QMenu::item { padding: 5px 28px 5px 20px; background-color: transparent; }"
      "QMenu::item:selected { background-color: rgb(252,236,237); color: rgb(216,34,40); }"
      "QMenu::item:disabled { color: rgb(180,180,186); }"));
  TranslateMenu(resultsMenu_);
  connect(exportAction_, &QAction::triggered, this, [this] { ExportResults(); });
  connect(tickFailedAction_, &QAction::triggered, this, &CDevicesControlDlg::TickFailedDevices);

  connect(grid_, &CGridCtrl::CellClicked, this, &CDevicesControlDlg::OnCellClicked);
  connect(customization_, &QAbstractButton::clicked, this,
          [this] { HandToPage(kCustomizationPage); });
  connect(antiTheft_, &QAbstractButton::clicked, this, [this] { HandToPage(kAntiTheftPage); });
  connect(scanButton_, &QAbstractButton::clicked, this, &CDevicesControlDlg::Rescan);
  connect(change_, &QAbstractButton::clicked, this, &CDevicesControlDlg::Change);

  scanTimer_.setInterval(kScanTickMs);
  progressTimer_.setInterval(kProgressTickMs);
  countersTimer_.setInterval(kCountersTickMs);
  watchTimer_.setInterval(kWatchTickMs);
  connect(&scanTimer_, &QTimer::timeout, this, &CDevicesControlDlg::ScanTick);
  connect(&progressTimer_, &QTimer::timeout, this, &CDevicesControlDlg::ProgressTick);
  connect(&countersTimer_, &QTimer::timeout, this, &CDevicesControlDlg::CountersTick);
  connect(&watchTimer_, &QTimer::timeout, this, &CDevicesControlDlg::WatchTick);
}

CDevicesControlDlg::~CDevicesControlDlg() = default;

QString CDevicesControlDlg::Skin(const char* file) const {
  return PathText(services_.directory / "Skin" / file);
}

void CDevicesControlDlg::SetDeliveryPage(int page, DeliveryPage* delivery) {
  if (page == kCustomizationPage)
    pages_[0] = delivery;
  else if (page == kAntiTheftPage)
    pages_[1] = delivery;
}

QString CDevicesControlDlg::AdapterLabelText(const QString& name) {
  QString shown = name;
  if (shown.size() >= kAdapterNameChars)
    shown = shown.left(kAdapterNameChars) + QStringLiteral("...");
  return Tr("NIC:") + shown;
}

void CDevicesControlDlg::SetAdapterName(const QString& name) {
  adapterLabel_->setText(AdapterLabelText(name));
  adapterLabel_->setToolTip(name);
}

void CDevicesControlDlg::LayoutCounters() {
  // One line along the top of the grid; each part as wide as its text.
  int x = 24;
  for (auto* label : {successText_, successCount_, failureText_, failureCount_, devicesText_}) {
    const QFontMetrics metrics(label->font());
    const int width = metrics.horizontalAdvance(label->text()) + 2;
    label->setGeometry(x, 56, width, 18);
    x += width + 4;
  }
}

int CDevicesControlDlg::StatusImage(DeviceResult result) {
  switch (result) {
    case RESULT_SUCCESS:
      return kImageSuccess;
    case RESULT_FAILED:
      return kImageFailed;
    case RESULT_BUSY:
      return kImageBusy;
    default:
      return kImageNone;
  }
}

int CDevicesControlDlg::CheckState(int row) const {
  return row >= 0 && row < static_cast<int>(checks_.size()) ? checks_[row] : 0;
}

int CDevicesControlDlg::RowCount() const {
  return grid_->GetRowCount() - 1;
}

int CDevicesControlDlg::RowOfMac(const std::string& mac) const {
  const auto found = rowOfMac_.find(mac);
  return found == rowOfMac_.end() ? -1 : found->second;
}

void CDevicesControlDlg::SetTimerIntervalsForTesting(int ms) {
  for (QTimer* timer : {&scanTimer_, &progressTimer_, &countersTimer_, &watchTimer_})
    timer->setInterval(ms);
}

bool CDevicesControlDlg::WatchTimersActive() const {
  return progressTimer_.isActive() || countersTimer_.isActive() || watchTimer_.isActive();
}

int CDevicesControlDlg::WatchElapsed() const {
  return watch_ ? watch_->elapsed() : 0;
}

void CDevicesControlDlg::RefreshList(bool rebuild, bool ascending, int sortColumn) {
  std::vector<ap_info_stu> rows;
  int count = 0;
  int successes = 0;
  int failures = 0;
  const SortKey key = sortColumn == kStatusColumn ? SORT_BY_RESULT : SORT_BY_MAC;
  // A store that fails gives an empty list and zero counts.
  if (services_.store == nullptr ||
      !services_.store->QueryDevices(ascending, key, "", rows, count, successes, failures)) {
    rows.clear();
    successes = failures = 0;
  }
  if (rebuild) {
    Rebuild(rows);
    // The mark follows the rows: a refresh without a rebuild leaves both as they are.
    grid_->SetSortColumn(sortColumn);
    grid_->SetSortAscending(ascending);
  }
  ShowCounters(successes, failures);
}

void CDevicesControlDlg::Rebuild(const std::vector<ap_info_stu>& rows) {
  HideBalloon();
  grid_->setUpdatesEnabled(false);
  grid_->DeleteNonFixedRows();
  rowOfMac_.clear();
  rowOfMac_.reserve(rows.size());
  checks_.assign(rows.size() + 1, 0);
  for (const ap_info_stu& record : rows) {
    const int row = grid_->InsertRow();
    grid_->SetItemImage(row, kCheckColumn, kImageClear);
    grid_->SetItemText(row, kNumberColumn, QString::number(row));
    grid_->SetItemText(row, kMacColumn, QString::fromStdString(record.mac));
    grid_->SetItemImage(row, kStatusColumn,
                        StatusImage(CSqlManagement::EvaluateCodes(
                            record.paraStatus, record.logoStatus, record.antiTheftStatus)));
    rowOfMac_.emplace(record.mac, row);
  }
  grid_->SetItemImage(0, kCheckColumn, kImageClear);
  ticked_ = 0;
  grid_->setUpdatesEnabled(true);
  grid_->Refresh();
}

void CDevicesControlDlg::ShowCounters(int successes, int failures) {
  successes_ = successes;
  failures_ = failures;
  successCount_->setText(QString::number(successes));
  failureCount_->setText(QString::number(failures));
  LayoutCounters();
}

void CDevicesControlDlg::OnCellClicked(int row, int col) {
  // Scanning or watching: the list is locked (it still shows the balloon).
  if (state_ != State::Idle)
    return;
  if (row == 0) {
    if (col == kMacColumn || col == kStatusColumn) {
      RefreshList(true, ascending_, col);
      ascending_ = !ascending_;
    } else if (col == kCheckColumn) {
      ToggleAll();
    }
    return;
  }
  if (col == kCheckColumn && row < static_cast<int>(checks_.size()))
    ToggleRow(row);
}

void CDevicesControlDlg::ToggleAll() {
  const int rows = RowCount();
  const int state = checks_[0] == 0 ? 1 : 0;
  std::fill(checks_.begin(), checks_.end(), state);
  for (int row = 1; row <= rows; ++row)
    grid_->SetItemImage(row, kCheckColumn, state == 1 ? kImageSet : kImageClear);
  ticked_ = state == 1 ? rows : 0;
  FollowCount();
}

void CDevicesControlDlg::ToggleRow(int row) {
  if (checks_[row] == 1) {
    checks_[row] = 0;
    grid_->SetItemImage(row, kCheckColumn, kImageClear);
    if (ticked_ > 0)
      --ticked_;
  } else {
    checks_[row] = 1;
    grid_->SetItemImage(row, kCheckColumn, kImageSet);
    ++ticked_;
  }
  FollowCount();
}

void CDevicesControlDlg::FollowCount() {
  const int rows = RowCount();
  int header = 0;
  if (rows > 0 && ticked_ >= rows)
    header = 1;
  else if (ticked_ > 0)
    header = 2;
  checks_[0] = header;
  grid_->SetItemImage(0, kCheckColumn,
                      header == 1 ? kImageSet : (header == 2 ? kImagePartly : kImageClear));
  grid_->RedrawCell(0, kCheckColumn);
}

void CDevicesControlDlg::ClearChecks() {
  for (std::size_t row = 1; row < checks_.size(); ++row) {
    if (checks_[row] != 0) {
      checks_[row] = 0;
      grid_->SetItemImage(static_cast<int>(row), kCheckColumn, kImageClear);
    }
  }
  checks_[0] = 0;
  ticked_ = 0;
  grid_->SetItemImage(0, kCheckColumn, kImageClear);
  grid_->RedrawCell(0, kCheckColumn);
}

void CDevicesControlDlg::HandToPage(int page) {
  targets_.clear();
  for (std::size_t row = 1; row < checks_.size(); ++row) {
    if (checks_[row] == 1)
      targets_.push_back(grid_->GetItemText(static_cast<int>(row), kMacColumn).toStdString());
  }
  if (targets_.empty()) {
    CNoteDlg::ShowNote(this, Tr("Note"), Tr("Please select the devices!"));
    return;
  }
  DeliveryPage* delivery = page == kCustomizationPage ? pages_[0] : pages_[1];
  HideBalloon();
  if (delivery != nullptr)
    delivery->SetTargetList(targets_);
  host_.ShowPage(page);
  if (delivery != nullptr)
    delivery->Entered();
}

void CDevicesControlDlg::SetControlsEnabled(bool enabled) {
  customization_->setEnabled(enabled);
  antiTheft_->setEnabled(enabled);
  change_->setEnabled(enabled);
  scanButton_->setEnabled(enabled);
  scanButton_->setText(Tr(enabled ? kScanText : kScanningText));
  if (enabled) {
    wait_->Stop();
    wait_->hide();
  } else {
    wait_->show();
    wait_->raise();
    wait_->Start();
  }
}

void CDevicesControlDlg::Rescan() {
  if (state_ != State::Idle)
    return;
  scanTimer_.stop();
  state_ = State::Scanning;
  SetControlsEnabled(false);
  scan_.Start();
  scanTimer_.start();
}

void CDevicesControlDlg::ScanTick() {
  if (state_ != State::Scanning)
    return;
  if (!scan_.Tick())
    return;
  scanTimer_.stop();
  state_ = State::Idle;
  SetControlsEnabled(true);
  RefreshList(true, ascending_, kMacColumn);
}

void CDevicesControlDlg::Change() {
  if (state_ != State::Idle)
    return;
  HideBalloon();
  ClearChecks();
  emit ChangeRequested();
}

void CDevicesControlDlg::StartWatching(int page) {
  if ((page != kCustomizationPage && page != kAntiTheftPage) || services_.store == nullptr)
    return;
  scanTimer_.stop();
  for (int row = 1; row <= RowCount(); ++row)
    grid_->SetItemImage(row, kStatusColumn, kImageNone);
  grid_->viewport()->update();
  state_ = State::Watching;
  SetControlsEnabled(false);
  watch_ = std::make_unique<DeliveryWatch>(*services_.store, targets_, kWatchSeconds);
  progressTimer_.start();
  countersTimer_.start();
  watchTimer_.start();
}

void CDevicesControlDlg::UpdateTargetRows() {
  const std::vector<DeviceResult> verdicts = watch_->UpdateTargets();
  const std::vector<std::string>& macs = watch_->targets();
  for (std::size_t i = 0; i < macs.size(); ++i) {
    const int row = RowOfMac(macs[i]);
    if (row < 0)
      continue;
    checks_[row] = 0;
    grid_->SetItemImage(row, kCheckColumn, kImageClear);
    grid_->SetItemImage(row, kStatusColumn, StatusImage(verdicts[i]));
  }
  ClearChecks();
}

void CDevicesControlDlg::ProgressTick() {
  if (state_ != State::Watching || !watch_)
    return;
  UpdateTargetRows();
  // A balloon shown over a row that changed follows it.
  if (balloon_->IsShown())
    PointerAt(grid_->mapFromGlobal(QCursor::pos()));
}

void CDevicesControlDlg::CountersTick() {
  if (state_ != State::Watching || !watch_)
    return;
  watch_->UpdateCounters();
  ShowCounters(watch_->successes(), watch_->failures());
}

void CDevicesControlDlg::WatchTick() {
  if (state_ != State::Watching || !watch_)
    return;
  if (watch_->Advance(kWatchTickMs / 1000))
    EndWatch();
}

void CDevicesControlDlg::EndWatch() {
  progressTimer_.stop();
  countersTimer_.stop();
  watchTimer_.stop();
  // The counters may have counted a result that came after the rows' last
  // tick: the rows show it too before they stop following the store.
  UpdateTargetRows();
  watch_->UpdateCounters();
  ShowCounters(watch_->successes(), watch_->failures());
  watch_.reset();
  targets_.clear();
  state_ = State::Idle;
  SetControlsEnabled(true);
}

void CDevicesControlDlg::PointerAt(const QPoint& gridPoint) {
  const CellId cell = grid_->GetCellFromPt(gridPoint);
  if (!cell.IsValid() || cell.row < 1 || cell.col != kStatusColumn ||
      grid_->GetItemImage(cell.row, cell.col) != kImageFailed) {
    HideBalloon();
    return;
  }
  const QRect icon = LayoutCell(grid_->GetCellRect(cell.row, cell.col), images_.ImageSize(),
                                grid_->GetItemFormat(cell.row, cell.col), grid_->GetCellMargin())
                         .image;
  if (!icon.contains(gridPoint)) {
    HideBalloon();
    return;
  }
  const std::string mac = grid_->GetItemText(cell.row, kMacColumn).trimmed().toStdString();
  if (mac.empty()) {
    HideBalloon();
    return;
  }
  if (!balloon_->IsShown() || mac != balloonMac_) {
    balloonMac_ = mac;
    const QString advice = TranslateLines(CSqlManagement::GetAdvice(mac));
    if (advice.isEmpty()) {
      HideBalloon();
      return;
    }
    balloon_->ShowTip(advice, grid_->mapToGlobal(QPoint(icon.left() + 12, icon.top())));
    return;
  }
  balloon_->ShowTip(balloon_->Text(), grid_->mapToGlobal(QPoint(icon.left() + 12, icon.top())));
}

std::vector<std::string> CDevicesControlDlg::RowMacs() const {
  std::vector<std::string> macs;
  macs.reserve(static_cast<std::size_t>(std::max(RowCount(), 0)));
  for (int row = 1; row <= RowCount(); ++row)
    macs.push_back(grid_->GetItemText(row, kMacColumn).toStdString());
  return macs;
}

void CDevicesControlDlg::OpenResultsMenu(const QPoint& globalPos) {
  // Ticks and results are the scan's or the watch's until it ends.
  if (state_ != State::Idle)
    return;
  const bool rows = RowCount() > 0 && services_.store != nullptr;
  exportAction_->setEnabled(rows);
  tickFailedAction_->setEnabled(rows);
  HideBalloon();
  resultsMenu_->popup(globalPos);
}

QString CDevicesControlDlg::AskExportFile() {
  if (exportFolder_.isEmpty())
    exportFolder_ = QDir::homePath();
  QFileDialog dialog(this, Tr("Export results"));
  dialog.setObjectName(QStringLiteral("exportResultsDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.setNameFilters({Tr("CSV files (*.csv)"), Tr("All files (*)")});
  // The dialog's own captions come from the pack like every other text.
  const std::pair<QFileDialog::DialogLabel, const char*> labels[] = {
      {QFileDialog::LookIn, "Look in:"},         {QFileDialog::FileName, "File name:"},
      {QFileDialog::FileType, "Files of type:"}, {QFileDialog::Accept, "Save"},
      {QFileDialog::Reject, "Cancel"},
  };
  for (const auto& [label, text] : labels)
    dialog.setLabelText(label, Tr(text));
  dialog.setDirectory(exportFolder_);
  dialog.selectFile(QStringLiteral("device-results-") +
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                    QStringLiteral(".csv"));
  if (RunModal(dialog) != QDialog::Accepted)
    return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

bool CDevicesControlDlg::ExportResults() {
  if (state_ != State::Idle || services_.store == nullptr || RowCount() <= 0)
    return false;
  HideBalloon();
  const QString file = AskExportFile();
  if (file.isEmpty())
    return false;
  std::string error;
  if (!ExportResultsCsv(*services_.store, RowMacs(), std::filesystem::path(file.toStdString()),
                        &error)) {
    CNoteDlg::ShowNote(this, Tr("Note"),
                       Tr("The results could not be exported:") + QStringLiteral("\n") +
                           QString::fromStdString(error));
    return false;
  }
  exportFolder_ = QFileInfo(file).absolutePath();
  return true;
}

void CDevicesControlDlg::TickFailedDevices() {
  if (state_ != State::Idle || services_.store == nullptr)
    return;
  // One reading of the store, judged as the list and the export judge it.
  const std::vector<DeviceResultRow> results = ReadDeviceResults(*services_.store, RowMacs());
  ticked_ = 0;
  for (std::size_t i = 0; i < results.size() && i + 1 < checks_.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const int state = results[i].verdict == RESULT_FAILED ? 1 : 0;
    checks_[row] = state;
    grid_->SetItemImage(row, kCheckColumn, state == 1 ? kImageSet : kImageClear);
    ticked_ += state;
  }
  FollowCount();
  grid_->viewport()->update();
}

void CDevicesControlDlg::HideBalloon() {
  balloonMac_.clear();
  balloon_->HideTip();
}

bool CDevicesControlDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_->viewport() && event->type() == QEvent::ContextMenu) {
    OpenResultsMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  if (watched == grid_->viewport() && event->type() == QEvent::MouseMove) {
    const auto* move = static_cast<QMouseEvent*>(event);
    PointerAt(grid_->viewport()->mapTo(grid_, move->position().toPoint()));
  } else if ((watched == grid_->viewport() || watched == grid_) &&
             (event->type() == QEvent::Leave || event->type() == QEvent::Hide)) {
    HideBalloon();
  }
  return CTDialog::eventFilter(watched, event);
}

void CDevicesControlDlg::hideEvent(QHideEvent* event) {
  HideBalloon();
  CTDialog::hideEvent(event);
}

}  // namespace brevant
