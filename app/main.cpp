// veskacfg: the setup program. This is the composition root: every object of the program is
// built and wired here, and torn down here in one fixed order.

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analog/AnalogChecks.h"
#include "analog/AnalogVerification.h"
#include "analog/BenchBoard.h"
#include "analog/VoktDriver.h"
#include "app/ScreenshotRuns.h"
#include "bench/BenchModes.h"
#include "bench/StageDevices.h"
#include "lang/Language.h"
#include "main/LogicThread.h"
#include "main/MainWindow.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StationDesk.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"
#include "simhost/ProgramBackends.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/CloseOnSignal.h"
#include "ui/FileDialogAdapter.h"
#include "ui/MainForm.h"
#include "ui/MessageBoxAdapter.h"
#include "ui/OperatorSettings.h"
#include "ui/PortComboBox.h"
#include "ui/QueuedMainView.h"
#include "ui/RangeDialog.h"
#include "ui/StationDialog.h"
#include "ui/StationPanel.h"

namespace {

using Clock = std::chrono::steady_clock;

#ifdef VESKA_DEBUG_BUILD
constexpr bool kDebugBuild = true;
#else
constexpr bool kDebugBuild = false;
#endif

constexpr const char* kTitle = "Veskacfg";

/// Shows an exception that escapes an event handler, as the program's general error display,
/// and lets the event loop go on. An unattended run (screenshot, start-up time) writes it to
/// standard error instead, so that nothing waits for a person.
class Application final : public QApplication {
  public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException("");
        }
        return false;
    }

    void ShowException(const std::string& text) const {
        if (unattended) {
            std::fprintf(stderr, "veskacfg: %s\n", text.c_str());
            return;
        }
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kTitle),
                        QString::fromStdString(text), QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    bool unattended = false;
};

/// Message boxes of an unattended run: written to standard error and answered with OK.
class UnattendedMessageBoxes final : public veska::ui::MessageBoxAdapter {
  public:
    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        std::fprintf(stderr, "[%s] (%d) %s\n", caption.c_str(), flags, text.c_str());
        return 1;
    }
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "[%s] %s\n", kTitle, text.c_str());
    }
};

struct Options {
    bool simulate = false;
    bool showAbout = true;
    bool startupTime = false;
    std::string languageDirectory;
    std::string port;
    std::string screenshot;
    std::string benchScreenshots;    ///< folder of the bench run's screenshots
    std::string stationScreenshots;  ///< folder of the station's screenshots
    std::string sequenceFolder;      ///< offered first by the station panel
};

Options ParseOptions(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Setup and test program for VESKA laser distance sensors."));
    parser.addHelpOption();
    // --version is answered in main() before the application object exists; listed here.
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the program's name and version."));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Run on the virtual bench: COM4 is a simulated sensor, USB the simulated "
                       "converter and adapter."));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Language directory (with Language.ini)."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Preselected sensor port (COM4, USB, a path)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption noAbout(QStringLiteral("no-about"),
                                     QStringLiteral("Start without the about box."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Connect, measure for a second, save the window as FILE and quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption startupTime(
        QStringLiteral("startup-time"),
        QStringLiteral("Print the milliseconds until the main window is shown, then quit."));
    const QCommandLineOption benchScreenshots(
        QStringLiteral("screenshot-bench"),
        QStringLiteral("Factory build: connect, run a verification (Poverka), save the bench form "
                       "and the window during the run and the report chart after it into DIR, "
                       "and quit."),
        QStringLiteral("DIR"));
    const QCommandLineOption stationScreenshots(
        QStringLiteral("screenshot-station"),
        QStringLiteral("Factory build: connect, run the sensor through the verification sequence "
                       "in the station panel, save the panel with the verdict and the window into "
                       "DIR, and quit."),
        QStringLiteral("DIR"));
    const QCommandLineOption sequences(
        QStringLiteral("sequences"),
        QStringLiteral("Factory build: the folder of sequence files the station panel offers "
                       "first (beside the installed ones)."),
        QStringLiteral("DIR"));
    parser.addOptions({version, simulate, language, port, noAbout, screenshot, benchScreenshots,
                       stationScreenshots, sequences, startupTime});
    parser.process(app);

    Options o;
    o.simulate = parser.isSet(simulate);
    o.languageDirectory = parser.value(language).toStdString();
    o.port = parser.value(port).toStdString();
    o.screenshot = parser.value(screenshot).toStdString();
    o.benchScreenshots = parser.value(benchScreenshots).toStdString();
    o.stationScreenshots = parser.value(stationScreenshots).toStdString();
    o.sequenceFolder = parser.value(sequences).toStdString();
    o.startupTime = parser.isSet(startupTime);
    o.showAbout = !parser.isSet(noAbout) && o.screenshot.empty() && o.benchScreenshots.empty() &&
                  o.stationScreenshots.empty() && !o.startupTime;
    return o;
}

int Run(Application& app, Clock::time_point started) {
    const Options options = ParseOptions(app);
    app.unattended = !options.screenshot.empty() || !options.benchScreenshots.empty() ||
                     !options.stationScreenshots.empty() || options.startupTime;
    if ((!options.benchScreenshots.empty() || !options.stationScreenshots.empty()) &&
        !kDebugBuild) {
        std::fprintf(stderr,
                     "veskacfg: --screenshot-bench and --screenshot-station need the factory "
                     "build (veskacfg-factory)\n");
        return 2;
    }

    // The devices are chosen once, here: the virtual bench's (its port folder and its USB
    // bus), or the port folder of VESKA_PORTS and the USB devices VESKA_USB names.
    const auto usb = veska::platform::ParseUsbChoice(std::getenv("VESKA_USB"));
    std::unique_ptr<veska::sim::VirtualBench> bench;
    if (options.simulate) {
        veska::sim::BenchOptions benchOptions;
        benchOptions.installUsbBackend = true;
        bench = std::make_unique<veska::sim::VirtualBench>(benchOptions);
        std::string error;
        if (!bench->Start(&error)) {
            app.ShowException("The virtual bench did not start: " + error);
            return 1;
        }
        veska::platform::SetPortDirectory(bench->PortDirectory());
    } else {
        const char* ports = std::getenv("VESKA_PORTS");
        veska::platform::SetPortDirectory(ports != nullptr ? ports : "");
    }
    veska::simhost::ChooseUsbDevices(usb, bench.get());

    // The three device links in the program's order: the motor link, the sensor link (in
    // the program state's sensor session), the encoder link; and the analog board's client
    // on the driver library.
    veska::platform::Clock& clock = veska::platform::SystemClock();
    veska::bench::StageMotor motor(clock);
    auto state = std::make_unique<veska::main::ProgramState>(clock);
    veska::bench::StageEncoder encoder(clock);
    // On the virtual bench the board client drives the bench's own board, which samples the
    // simulated sensor's output and takes the stage's trigger pulses.
    const std::unique_ptr<veska::analog::VoktDriver> boardDriver =
        veska::simhost::ChooseBoardDriver(usb, bench.get(), clock);
    veska::analog::TVOKT_Interface boardClient(*boardDriver, clock);
    veska::analog::BenchBoard board(boardClient);

    // The forms, in the program's order: main window, range dialog, about box, bench form.
    veska::ui::TFormMain form(*state);
    veska::ui::TFormRange range(&form);
    veska::ui::TFormAbout about(state->texts, &form);
    veska::ui::TFormDebug benchForm(state->benchModeCode, &form);
    veska::ui::QtMessageBoxes screenBoxes(&form);
    UnattendedMessageBoxes loggedBoxes;
    veska::ui::QtFileDialogs files(&form);
    // An unattended run answers every file dialog with Cancel: nothing waits for a person.
    veska::ui::ScriptedFileDialogs cancelledFiles;
    form.SetForms(range, about, benchForm);
    form.SetAdapters(
        app.unattended ? static_cast<veska::ui::MessageBoxAdapter&>(loggedBoxes) : screenBoxes,
        app.unattended ? static_cast<veska::ui::FileDialogAdapter&>(cancelledFiles) : files);
    form.SetAboutBoxEnabled(options.showAbout);
    // The factory build shows the bench form from the window's menu at any time.
    form.SetBenchMenuItem(kDebugBuild);
    // The virtual bench's sensor answers at COM4; the port list says so.
    if (options.simulate) form.ComboBoxCOM()->simulatedPort = QStringLiteral("COM4");
    // The last port, rate, address, window geometry and dialog folders. The simulated bench
    // and an explicit --port choose their own port; unattended runs keep nothing.
    QSettings store(QStringLiteral("veskacfg"), QStringLiteral("veskacfg"));
    veska::ui::OperatorSettings remembered(store);
    const bool remember = !options.simulate && !app.unattended;
    veska::ui::RememberedChoices choices;
    if (remember) choices = remembered.Restore(form, files);
    // The factory build reaches the results store: the History of the connected sensor, its
    // runs' charts and certificates, the store's URL (remembered) and its waiting results.
    if (kDebugBuild) {
        QAction* results = form.OptionsMenu()->addAction(QStringLiteral("Results and history…"));
        QObject::connect(results, &QAction::triggered, &form, [&form, &store] {
            auto* station = form.findChild<veska::ui::StationDialog*>();
            if (station == nullptr) {
                station = new veska::ui::StationDialog(
                    store,
                    [&form] {
                        return QString::fromStdString(
                            form.IdentityLabelText(veska::params::IdentityLabel::SerialNumber));
                    },
                    &form);
                station->onStoreChosen = [&form](const QString& url) {
                    form.Post("Choosing the results store…",
                              [url = url.toStdString()](veska::main::MainWindow& l) {
                                  l.Station().SetResultsUrl(url);
                              });
                };
            }
            station->show();
            station->raise();
        });
    }
    // The factory build's station panel: a unit through a sequence, judged and stored.
    veska::ui::StationPanel* stationPanel = nullptr;
    // An unattended run keeps nothing of the operator's: its panel's fields go to a scratch file.
    std::optional<QTemporaryDir> scratch;
    std::optional<QSettings> scratchSettings;
    if (kDebugBuild && app.unattended) {
        scratch.emplace();
        scratchSettings.emplace(scratch->filePath(QStringLiteral("settings.ini")),
                                QSettings::IniFormat);
    }
    if (kDebugBuild) {
        const QString languageDir = QString::fromStdString(
            options.languageDirectory.empty() ? veska::lang::FindLanguageDirectory()
                                              : options.languageDirectory);
        QStringList sequenceFolders{
            QFileInfo(languageDir).absoluteDir().filePath(QStringLiteral("sequences")),
            QDir::current().filePath(QStringLiteral("dist/sequences")),
            QDir(QCoreApplication::applicationDirPath())
                .filePath(QStringLiteral("../share/veskacfg/sequences"))};
        if (!options.sequenceFolder.empty()) {
            sequenceFolders.prepend(QString::fromStdString(options.sequenceFolder));
        }
        QSettings& panelSettings = scratchSettings ? *scratchSettings : store;
        stationPanel = new veska::ui::StationPanel(panelSettings, sequenceFolders, &form);
        stationPanel->onStart = [&form](const veska::main::StationRequest& request) {
            form.Post("Starting the sequence…",
                      [request](veska::main::MainWindow& l) { l.Station().Start(request); });
        };
        stationPanel->onStop = [&form] {
            form.Post("Stopping the sequence…",
                      [](veska::main::MainWindow& l) { l.Station().Stop(); });
        };
        stationPanel->onCertificate = [&form](const QString& path) {
            form.Post("Writing the certificate…",
                      [path = path.toStdString()](veska::main::MainWindow& l) {
                          l.Station().SaveCertificate(path);
                      });
        };
        form.onStationModel = [stationPanel](const veska::main::StationModel& model) {
            stationPanel->Show(model);
        };
        QAction* open = form.OptionsMenu()->addAction(QStringLiteral("Station…"));
        QObject::connect(open, &QAction::triggered, stationPanel, [stationPanel] {
            stationPanel->show();
            stationPanel->raise();
        });
    }

    veska::main::StartOptions start;
    start.languageDirectory = options.languageDirectory;
    start.debugBuild = kDebugBuild;
    // The language the operator chose in the options menu, remembered at once (also on the
    // simulated bench); unattended runs keep nothing.
    if (!app.unattended) {
        start.languageFile = store.value(QStringLiteral("language/file")).toString().toStdString();
        form.onLanguageChosen = [&store](const QString& file) {
            store.setValue(QStringLiteral("language/file"), file);
            store.sync();
        };
    }

    int result = 0;
    {
        // The logic's own thread, and the view through which the logic reaches the window.
        veska::main::LogicThread thread;
        veska::ui::QueuedMainView view(form, thread);
        // The bench's own modes (the verification report with its analog half) and the
        // analog checks; they live as long as the logic that runs them.
        veska::bench::BenchModes benchModes;
        benchModes.SetAnalogEvaluation(veska::analog::AnalogVerification());
        veska::analog::AnalogChecks analogChecks;
        veska::main::BenchWiring wiring{
            veska::bench::BenchDevices{motor, encoder, board},
            [&benchModes, &analogChecks](veska::bench::ModeSteps& steps) {
                benchModes.BindTo(steps);
                analogChecks.BindTo(steps);
            }};
        veska::main::MainWindow logic(*state, view, clock, veska::platform::UsbBackend(), start,
                                      std::move(wiring));
        // Every bench run done in the window leaves its record beside its files, and in the
        // factory build its result in the results store.
        logic.Measurement().writeRunRecords = true;
        if (kDebugBuild) {
            logic.Station().storeBenchRuns = !app.unattended;
            logic.Station().SetResultsUrl(
                store.value(QStringLiteral("results/url")).toString().toStdString());
            logic.Station().SetOperator(
                store.value(QStringLiteral("station/operator")).toString().toStdString());
        }
        form.Attach(logic, thread, view);
        // An exception that escapes the logic is shown as the application's error display,
        // as one from an event handler is.
        thread.SetExceptionHandler([&app](const std::string& what) {
            QMetaObject::invokeMethod(
                &app, [&app, what] { app.ShowException(what); }, Qt::QueuedConnection);
        });
        thread.Start();
        thread.Post("Starting…", [&logic] { logic.FormCreate(); });
        // Results that waited for the plant's server since the last time go now.
        if (kDebugBuild && !app.unattended) {
            thread.Post("Delivering waiting results…", [&logic] { logic.Station().Deliver(); });
        }
        if (remember) {
            thread.Post("Restoring the last choices…", [&logic, &view, choices,
                                                        keepPort = options.port.empty()] {
                if (keepPort && !choices.port.isEmpty()) {
                    view.Select(veska::main::Selector::Port, choices.port.toStdString());
                    logic.ComboBoxCOMChange(choices.port.toStdString());
                }
                if (choices.baudIndex >= 0) {
                    view.SelectBaudItem(choices.baudIndex);
                    logic.ComboBoxWorkBaundChange(choices.baud.toStdString());
                }
                if (choices.addressIndex >= 0) {
                    view.SelectAddressItem(choices.addressIndex);
                    logic.ComboBoxWorkCodeDevChange(choices.address.toStdString());
                }
            });
        }
        if (!options.port.empty()) {
            // After FormCreate's own choice of COM4, shown in that order.
            thread.Post("Choosing the port…", [&logic, &view, port = options.port] {
                view.Select(veska::main::Selector::Port, port);
                logic.ComboBoxCOMChange(port);
            });
        }

        std::optional<veska::app::ScreenshotRun> screenshot;
        if (!options.screenshot.empty()) {
            screenshot.emplace(form, thread, logic, options.screenshot);
            screenshot->Start();
        }
        std::optional<veska::app::BenchScreenshotRun> benchScreenshot;
        if (!options.benchScreenshots.empty()) {
            benchScreenshot.emplace(form, benchForm, thread, logic, *state,
                                    options.benchScreenshots);
            benchScreenshot->Start();
        }
        std::optional<veska::app::StationScreenshotRun> stationScreenshot;
        if (!options.stationScreenshots.empty() && stationPanel != nullptr) {
            stationScreenshot.emplace(form, *stationPanel, options.stationScreenshots);
            stationScreenshot->Start();
        }
        if (options.startupTime) {
            QTimer::singleShot(0, &form, [&form, started] {
                const auto ms = std::chrono::duration<double, std::milli>(Clock::now() - started);
                std::printf("startup: %.1f ms\n", ms.count());
                std::fflush(stdout);
                form.close();
                QApplication::quit();
            });
        }
        // SIGINT and SIGTERM close the window as its close button does; the program then
        // ends with 128 + the signal's number.
        veska::ui::CloseOnSignal closeOnSignal(form);
        closeOnSignal.onClosed = [](int) { QApplication::quit(); };
        form.show();
        result = app.exec();
        if (screenshot) result = screenshot->Result();
        if (benchScreenshot) result = benchScreenshot->Result();
        if (stationScreenshot) result = stationScreenshot->Result();
        if (closeOnSignal.Signal() != 0) result = 128 + closeOnSignal.Signal();

        // Shutdown: the window's close sequence (stream, adapter line, ports) runs once on the
        // logic thread, which then ends; then the logic goes, then the forms, then the bench.
        form.Shutdown();
        if (remember) remembered.Save(form, files);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point started = Clock::now();
    // --help and --version print and leave: they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version") {
            std::printf("%s %s\n", VESKA_PROGRAM_NAME, VESKA_VERSION);
            return 0;
        }
        if ((arg == "--help" || arg == "-h" || arg == "--version") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kTitle));
    // The application object takes the user's locale for the C library; every number the
    // program formats or parses uses the point as decimal separator, whatever it says.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    try {
        return Run(app, started);
    } catch (const std::exception& e) {
        app.ShowException(e.what());
    } catch (...) {
        app.ShowException("");
    }
    return 1;
}
