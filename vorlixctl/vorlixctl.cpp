// SPDX-License-Identifier: MIT
// vorlixctl: keeps the settings of the supported mice through the service, shows what each mouse
// was last sent, and follows the service's changes, from a shell or a script. It is a client of
// the service's own interface only: what it shows is what the service says.
#include "CLIException.h"
#include "ClientSentences.h"
#include "CtlRequest.h"
#include "CtlText.h"
#include "LocaleTranslator.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "PolkitTextAgent.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace {

// A file that imports too large to be one is refused rather than read on.
constexpr qint64 LARGEST_IMPORT = 64 * 1024;

// Whether everything written to standard output reached it, a full disk or a closed pipe aside.
bool written = true;

// Output is UTF-8 whatever the locale, as scripts reading JSON expect and cron and udev give
// none; each line goes out whole.
void write(FILE* stream, const QByteArray& line) {
    const bool whole = std::fwrite(line.constData(), 1, line.size(), stream) == static_cast<size_t>(line.size()) &&
                       std::fflush(stream) == 0;
    written = written && (stream != stdout || whole);
}

void say(const QString& text) {
    write(stdout, text.toUtf8() + '\n');
}

void sayJson(const QJsonObject& object) {
    write(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void complain(const QString& text) {
    write(stderr, text.toUtf8() + '\n');
}

// Output that did not reach standard output makes the command fail, whatever it did.
void finish(int status) {
    if (!written && status == CtlRequest::SUCCESS) {
        complain(QCoreApplication::translate("main", "The output could not be written."));
        status = CtlRequest::FAILED;
    }
    QCoreApplication::exit(status);
}

// Why the service could not be asked, for a command that only reads.
QString unreadable(const MouseService::Answer& answer) {
    switch (answer.outcome) {
    case Outcome::NoBus:
        return QCoreApplication::translate("main", "The system bus cannot be reached.");
    case Outcome::ServiceMissing:
        return QCoreApplication::translate("main", "The mouse service is not installed or not reachable.");
    case Outcome::NoAnswer:
        return QCoreApplication::translate("main", "The service did not answer.");
    default:
        return QCoreApplication::translate("main", "The service could not be read: %1").arg(answer.words);
    }
}

// A change the service did not make, one line; polkit's refusal has an exit status of its own.
void changeFailed(const MouseService::Answer& answer) {
    complain(ClientSentences::failureLine(answer.outcome));
    finish(answer.outcome == Outcome::NotAllowed ? CtlRequest::NOT_ALLOWED : CtlRequest::FAILED);
}

// Asks the service what it knows, then goes on with `then`; fails with a line when it cannot.
void read(const std::function<void(const MouseService::Reading&)>& then) {
    MouseService::ask(QCoreApplication::instance(),
                      [then](const MouseService::Answer& answer, const MouseService::Reading& reading) {
                          if (answer.outcome != Outcome::Done) {
                              complain(unreadable(answer));
                              finish(CtlRequest::FAILED);
                              return;
                          }
                          then(reading);
                      });
}

void list(const CtlRequest& request) {
    read([request](const MouseService::Reading& reading) {
        if (request.json) {
            sayJson(CtlText::listJson(reading));
        } else {
            say(CtlText::list(reading, QDateTime::currentDateTime()));
        }
        finish(CtlRequest::SUCCESS);
    });
}

// Says whether every mouse took the settings, once what they did is said.
using Then = std::function<void(bool)>;

void finishWith(bool allTook) {
    finish(allTook ? CtlRequest::SUCCESS : CtlRequest::FAILED);
}

void keep(const CtlRequest& request, const MouseSettings& settings, const Then& then) {
    MouseService::apply(
        settings, request.askPassword, QCoreApplication::instance(),
        [request, then](const MouseService::Answer& answer, const QVector<MouseService::Mouse>& reached) {
            if (answer.outcome != Outcome::Done) {
                changeFailed(answer);
                return;
            }
            if (request.json) {
                sayJson(CtlText::keptByJson(reached));
            } else {
                say(CtlText::keptBy(reached));
            }
            // A mouse that keeps its own settings was left as it is, as it should be.
            then(std::all_of(reached.begin(), reached.end(), [](const auto& mouse) {
                return mouse.outcome == Outcome::Done || mouse.outcome == Outcome::OwnSettings;
            }));
        });
}

// Gives one mouse the settings as its own.
void keepOwn(const CtlRequest& request, const MouseService::Mouse& mouse, const MouseSettings& settings,
             const Then& then) {
    MouseService::applyToMouse(mouse.usbDevice, settings, request.askPassword, QCoreApplication::instance(),
                               [request, then](const MouseService::Answer& answer, const MouseService::Mouse& reached) {
                                   if (answer.outcome != Outcome::Done) {
                                       changeFailed(answer);
                                       return;
                                   }
                                   if (request.json) {
                                       sayJson(CtlText::keptByJson({reached}));
                                   } else {
                                       say(CtlText::tookThem(reached));
                                   }
                                   then(reached.outcome == Outcome::Done);
                               });
}

void forget(const CtlRequest& request, const Then& then) {
    MouseService::forget(request.askPassword, QCoreApplication::instance(), [then](const MouseService::Answer& answer) {
        if (answer.outcome != Outcome::Done) {
            changeFailed(answer);
            return;
        }
        say(CtlText::forgotten());
        then(true);
    });
}

// The one mouse that --mouse names among those the service lists, then `then`; a line and the
// command line's exit status when it names none, or more than one.
void withNamedMouse(const CtlRequest& request,
                    const std::function<void(const MouseService::Reading&, const MouseService::Mouse&)>& then) {
    read([request, then](const MouseService::Reading& reading) {
        const CtlText::Named named = CtlText::named(reading.mice, request.mouse);
        if (!named.mouse) {
            complain(named.why);
            finish(CtlRequest::BAD_COMMAND_LINE);
            return;
        }
        then(reading, *named.mouse);
    });
}

void forgetOwn(const CtlRequest& request) {
    withNamedMouse(request, [request](const MouseService::Reading&, const MouseService::Mouse& mouse) {
        MouseService::forgetMouse(mouse.usbDevice, request.askPassword, QCoreApplication::instance(),
                                  [mouse](const MouseService::Answer& answer) {
                                      if (answer.outcome != Outcome::Done) {
                                          changeFailed(answer);
                                          return;
                                      }
                                      say(CtlText::forgottenBy(mouse));
                                      finish(CtlRequest::SUCCESS);
                                  });
    });
}

// The options given change the kept settings, or a mouse's own, or the defaults where none are
// kept; a value that the grammar refuses is reported as vorlixd reports it, and nothing is sent.
void keepChanged(const CtlRequest& request) {
    try {
        MouseSettings::fromOptions(request.options);
    } catch (const CLIException& e) {
        complain(QStringLiteral("命令行错误： ") + QString::fromStdWString(e.getMessage()));
        finish(CtlRequest::BAD_COMMAND_LINE);
        return;
    }
    const auto kept = [](const MouseService::Reading& reading) {
        return ClientSentences::settingsIn(reading.kept).value_or(MouseSettings());
    };
    if (request.mouse.isEmpty()) {
        read([request, kept](const MouseService::Reading& reading) {
            keep(request, MouseSettings::fromOptions(request.options, kept(reading)), finishWith);
        });
        return;
    }
    withNamedMouse(request, [request, kept](const MouseService::Reading& reading, const MouseService::Mouse& mouse) {
        const MouseSettings base = ClientSentences::settingsIn(mouse.own).value_or(kept(reading));
        keepOwn(request, mouse, MouseSettings::fromOptions(request.options, base), finishWith);
    });
}

void exportKept() {
    read([](const MouseService::Reading& reading) {
        write(stdout, QJsonDocument(CtlText::exported(reading)).toJson());
        finish(CtlRequest::SUCCESS);
    });
}

// Gives each mouse in `pending` its own settings, one after the other.
void keepEach(const CtlRequest& request, std::vector<std::pair<MouseService::Mouse, MouseSettings>> pending,
              bool allTook) {
    if (pending.empty()) {
        finishWith(allTook);
        return;
    }
    const auto [mouse, settings] = pending.back();
    pending.pop_back();
    keepOwn(request, mouse, settings,
            [request, pending, allTook](bool took) { keepEach(request, pending, allTook && took); });
}

// Gives each mouse plugged in its own settings of those imported; says of those not plugged in
// that theirs were not imported.
void importOwn(const CtlRequest& request, const std::map<QString, MouseSettings>& own, bool allTook) {
    read([request, own, allTook](const MouseService::Reading& reading) {
        std::vector<std::pair<MouseService::Mouse, MouseSettings>> pending;
        bool all = allTook;
        for (const auto& imported : own) {
            const QString& identity = imported.first;
            const auto mouse = std::find_if(reading.mice.begin(), reading.mice.end(),
                                            [&identity](const auto& present) { return present.identity == identity; });
            if (mouse == reading.mice.end()) {
                complain(CtlText::notImported(identity));
                all = false;
            } else {
                pending.emplace_back(*mouse, imported.second);
            }
        }
        keepEach(request, pending, all);
    });
}

void importKept(const CtlRequest& request) {
    QFile file(request.file);
    const bool opened = request.file == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                           : file.open(QIODevice::ReadOnly);
    const QByteArray text = opened ? file.read(LARGEST_IMPORT + 1) : QByteArray();
    const CtlText::Imported imported = text.size() > LARGEST_IMPORT
                                           ? CtlText::Imported{std::nullopt,
                                                               CtlText::tr("it is larger than 64 KiB"),
                                                               {}}
                                           : CtlText::imported(QJsonDocument::fromJson(text).object());
    if (!opened || !imported.why.isEmpty()) {
        complain(QCoreApplication::translate("main", "%1 cannot be imported: %2")
                     .arg(request.file, opened ? imported.why : file.errorString()));
        finish(CtlRequest::BAD_COMMAND_LINE);
        return;
    }
    const std::map<QString, MouseSettings> own = imported.own;
    const Then thenOwn = [request, own](bool allTook) { importOwn(request, own, allTook); };
    if (imported.settings) {
        keep(request, *imported.settings, thenOwn);
    } else {
        forget(request, thenOwn);
    }
}

// Follows the service's change signals: each asks the service again, and what changed is said.
// With --json the state it starts from comes first. A service that cannot be asked once is
// said, and followed on.
class Monitor : public QObject {
    Q_OBJECT

public:
    explicit Monitor(bool json) : json(json) {
        MouseService::follow(this, SLOT(changed()));
        changed();
    }

private slots:
    void changed() {
        MouseService::ask(this, [this](const MouseService::Answer& answer, const MouseService::Reading& reading) {
            if (answer.outcome != Outcome::Done) {
                complain(unreadable(answer));
                return;
            }
            const QStringList lines = last ? CtlText::changes(*last, reading, QDateTime::currentDateTime())
                                           : QStringList();
            if (json && (!last || !lines.isEmpty())) {
                sayJson(CtlText::listJson(reading));
            } else if (!lines.isEmpty()) {
                say(lines.join(QLatin1Char('\n')));
            }
            last = reading;
        });
    }

private:
    bool json;
    std::optional<MouseService::Reading> last;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    LocaleTranslator translator;
    application.installTranslator(&translator);
    const CtlRequest request = CtlRequest::parse(application.arguments().mid(1));
    if (request.wrong) {
        complain(CtlText::usage());
        return CtlRequest::BAD_COMMAND_LINE;
    }
    // Only a change may need polkit's agent, and it asks while the change is out.
    const bool changes = request.command == CtlRequest::Command::Keep ||
                         request.command == CtlRequest::Command::Forget ||
                         request.command == CtlRequest::Command::Import;
    const PolkitTextAgent agent(changes && request.askPassword);
    // Every command ends from the event loop, whether at once or with the service's answer.
    std::optional<Monitor> monitor;
    QTimer::singleShot(0, &application, [&request, &monitor] {
        switch (request.command) {
        case CtlRequest::Command::List:
            return list(request);
        case CtlRequest::Command::Keep:
            return keepChanged(request);
        case CtlRequest::Command::Forget:
            return request.mouse.isEmpty() ? forget(request, finishWith) : forgetOwn(request);
        case CtlRequest::Command::Monitor:
            monitor.emplace(request.json);
            return;
        case CtlRequest::Command::Export:
            return exportKept();
        case CtlRequest::Command::Import:
            return importKept(request);
        case CtlRequest::Command::Help:
            say(CtlText::usage());
            return finish(CtlRequest::SUCCESS);
        }
    });
    const int status = application.exec();
    MouseService::settle();
    return status;
}

#include "vorlixctl.moc"
