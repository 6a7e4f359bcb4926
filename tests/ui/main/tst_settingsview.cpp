#include "language/AppLanguage.h"
#include "ui/main/AudioSection.h"
#include "FakeGeminiServer.h"
#include "ui/main/GeminiSection.h"
#include "desktop/HoldKeyPath.h"
#include "ui/main/ListBinding.h"
#include "ui/main/RecordingSection.h"
#include "ui/main/SettingsView.h"
#include "transcription/SpokenLanguage.h"
#include "ui/main/SpokenLanguagesField.h"
#include "TestSupport.h"
#include "XTestInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QtTest>

// The settings form with real widgets and real input: the conditional rows, the slider grids,
// the list fields, the model list from a local fake service, the microphones and saving.
class SettingsViewTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        AppState state{Config(), History()};
        QList<Config> saved;
        QList<std::pair<QString, QString>> inputs{{u"a"_s, u"Mic a"_s}};
        QStringList revealed;
        std::unique_ptr<SettingsView> view;

        explicit Rig(const std::function<void(Config &)> &change = {})
        {
            Config c;
            c.apiKey = u"k"_s;
            if (change)
                change(c);
            state.setConfig(c);
            state.saveConfig();
            SettingsServices s;
            s.inputs = [this] { return inputs; };
            s.revealFile = [this](const QString &path) { revealed.append(path); };
            view = std::make_unique<SettingsView>(
                &state, [this](const Config &config) { saved.append(config); }, s);
            view->resize(640, 900);
            view->show();
            // Typing tests need the keyboard: the fields count as edited only while focused.
            view->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(view.get()));
        }

        template <typename T> T *find(const char *name) const
        {
            return view->findChild<T *>(QString::fromLatin1(name));
        }
        bool shown(const char *name) const { return find<QWidget>(name)->isVisibleTo(view.get()); }
        const Config &config() const { return state.config(); }
    };

    // Picks an entry the way a keyboard user does; the combo box says it was activated.
    static void pick(QComboBox *box, int index)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentIndex(), index);
    }

    static void retype(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    static void tick(QCheckBox *box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    inline static const QStringList desktopRows{u"holdKeyAdvice"_s, u"holdKeyLines"_s,
                                                u"readInputDevices"_s, u"noTrayNote"_s,
                                                u"pastesTypedNote"_s};

    FakeGeminiServer m_server;
    QTemporaryDir m_settingsHome;
    int m_restarts = 0;

private Q_SLOTS:
    void initTestCase()
    {
        VESK_REQUIRE_DISPLAY();
        TestSupport::isolateDataDir();
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toUtf8());
        AppLanguage::setRestarter([this] { ++m_restarts; });
        qunsetenv("GEMINI_API_KEY");
        qputenv("VESK_GEMINI_BASE_URL", m_server.baseUrl().toUtf8());
    }
    void init()
    {
        m_server.clear();
        m_restarts = 0;
    }

    // A real wheel over every choice of the form, as a user scrolling down the settings: the
    // form scrolls and no value changes, until the user gives a control the focus.
    void theWheelScrollsTheFormAndChangesNothing()
    {
        Rig rig([](Config &c) {
            c.insertMethod = u"type"_s;       // the line-break picker shows
            c.hotkey = HotkeyKind::controlFn; // neither end of any list
            c.holdThresholdMs = 400;
            c.keepSilenceSeconds = 0.5;
        });
        rig.view->resize(640, 420);
        QTest::qWait(100);
        QWidget *content = rig.view->widget();
        QList<QWidget *> targets;
        for (QComboBox *box : content->findChildren<QComboBox *>())
            if (box->isVisibleTo(content))
                targets.append(box);
        for (QSlider *slider : content->findChildren<QSlider *>())
            targets.append(slider);
        // Language, transcription, thinking, hotkey, insert, line break, microphone, audio format;
        // the hold and pause sliders.
        QCOMPARE(targets.size(), 10);
        rig.find<QLineEdit>("apiKey")->setFocus();
        const Config before = rig.config();
        QScrollBar *bar = rig.view->verticalScrollBar();
        auto pointAt = [&](QWidget *w) {
            rig.view->ensureWidgetVisible(w, 0, 60);
            QTest::qWait(50);
            const QPoint centre = w->mapToGlobal(w->rect().center());
            XTestInput::moveTo(centre.x(), centre.y());
            QTest::qWait(50);
        };
        for (QWidget *w : targets) {
            pointAt(w);
            const int scrolled = bar->value();
            const bool down = scrolled < bar->maximum();
            XTestInput::click(down ? 5 : 4);
            QTRY_VERIFY2(bar->value() != scrolled, w->objectName().toLatin1());
            QCOMPARE(rig.config(), before);
        }
        QCOMPARE(m_restarts, 0);

        // Given the focus, a slider does take the wheel.
        auto *hold = rig.find<QSlider>("holdFor");
        hold->setFocus(Qt::MouseFocusReason);
        pointAt(hold);
        XTestInput::click(4);
        QTRY_VERIFY(rig.config().holdThresholdMs != 400);
    }

    // The spoken languages are offered for every model; "Thinking" only for a model that thinks.
    void thinkingOrLanguagesByModelName_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("transcribe");
        QTest::newRow("flash") << u"gemini-2.5-flash"_s << false;
        QTest::newRow("transcribe") << u"gemini-2.5-flash-transcribe"_s << true;
        QTest::newRow("case-sensitive") << u"gemini-Transcribe"_s << false;
        QTest::newRow("substring anywhere") << u"transcriber-x"_s << true;
    }

    void thinkingOrLanguagesByModelName()
    {
        QFETCH(QString, model);
        QFETCH(bool, transcribe);
        Rig rig;
        retype(rig.find<QLineEdit>("model"), model);
        QCOMPARE(rig.config().model, model);
        QVERIFY(rig.shown("languages"));
        QCOMPARE(rig.shown("thinking"), !transcribe);
        // And back.
        retype(rig.find<QLineEdit>("model"), u"gemini-2.5-pro"_s);
        QVERIFY(rig.shown("thinking"));
    }

    void choicesStoreTheirValues()
    {
        Rig rig([](Config &c) { c.newlineMode = u"return"_s; });
        const Config stored = rig.config();
        auto *note = rig.find<QLabel>("transcriptionNote");
        QCOMPARE(note->text(), u"Drops filler words, resolves spoken corrections, "
                               "formats numbers and dates."_s);
        pick(rig.find<QComboBox>("transcription"), 1);
        QCOMPARE(rig.config().transcriptionMode, u"verbatim"_s);
        QCOMPARE(note->text(), u"Writes down exactly what was said."_s);
        pick(rig.find<QComboBox>("thinking"), 2);
        QCOMPARE(rig.config().thinkingLevel, u"high"_s);
        auto *hotkey = rig.find<QComboBox>("hotkey");
        pick(hotkey, 3);
        QCOMPARE(rig.config().hotkey, HotkeyKind::rightCommand);
        QCOMPARE(hotkey->currentText(), u"Right Super"_s);
        pick(rig.find<QComboBox>("audioFormat"), 2);
        QCOMPARE(rig.config().audioFormat, u"ogg"_s);

        // Not cutting pauses hides the slider of what is kept of each.
        for (const char *box :
             {"showFloatingButton", "playSounds", "spaceBetweenDictations", "trimSilence"})
            tick(rig.find<QCheckBox>(box));
        QVERIFY(!rig.config().hudVisible && !rig.config().sounds);
        QVERIFY(!rig.config().spaceBetweenDictations && !rig.config().trimSilence);
        QVERIFY(!rig.shown("keepOfEachPause") && !rig.shown("keepOfEachPauseValue"));
        QCOMPARE(rig.config().keepSilenceSeconds, stored.keepSilenceSeconds); // kept for later
        tick(rig.find<QCheckBox>("trimSilence"));
        QVERIFY(rig.shown("keepOfEachPause") && rig.shown("keepOfEachPauseValue"));

        // The line break is chosen only for typing.
        pick(rig.find<QComboBox>("insertWith"), 1);
        QCOMPARE(rig.config().insertMethod, u"type"_s);
        QVERIFY(rig.shown("lineBreak") && rig.shown("lineBreakNote"));
        QCOMPARE(rig.find<QComboBox>("lineBreak")->currentIndex(), 2); // the stored "return"
        pick(rig.find<QComboBox>("lineBreak"), 3);
        QCOMPARE(rig.config().newlineMode, u"space"_s);
        pick(rig.find<QComboBox>("insertWith"), 0);
        QCOMPARE(rig.config().insertMethod, u"paste"_s);
        QVERIFY(!rig.shown("lineBreak") && !rig.shown("lineBreakNote"));

        // Nothing reached the file or the controller.
        QVERIFY(rig.saved.isEmpty());
        QCOMPARE(Config::load(), stored);
    }

    // On Wayland the form says how the hold key comes and offers the keyboard devices where the
    // desktop has no shortcut service; on X11 it says nothing of it. A desktop without a tray
    // is told why the floating button stays, one without another's clipboard that pastes are
    // typed.
    void holdKeyRowsFollowTheDesktop_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QStringList>("shown");
        const QStringList &all = desktopRows;
        QTest::newRow("X11") << -1 << true << true << QStringList{};
        QTest::newRow("portal, no tray, no paste") << int(HoldKeyPath::Path::portal) << false
                                                   << false << QStringList{all[0], all[3], all[4]};
        QTest::newRow("sway bindings") << int(HoldKeyPath::Path::compositorBindings) << true << true
                                       << QStringList{all[0], all[1], all[2]};
        QTest::newRow("keyboard devices")
            << int(HoldKeyPath::Path::inputDevices) << true << true << QStringList{all[0], all[2]};
    }

    void holdKeyRowsFollowTheDesktop()
    {
        QFETCH(int, path);
        QFETCH(bool, tray);
        QFETCH(bool, paste);
        QFETCH(QStringList, shown);
        Rig rig;
        HoldKeyPath::Facts facts;
        facts.desktop = DesktopSession::Desktop::sway;
        facts.trigger = u"Ctrl+Alt+Space"_s;
        facts.portal = PortalShortcuts::State::bound;
        if (path >= 0)
            rig.state.setHoldKeyAdvice(HoldKeyPath::advice(HoldKeyPath::Path(path), facts));
        rig.state.setTrayAvailable(tray);
        rig.state.setPasteAvailable(paste);
        for (const QString &name : desktopRows)
            QCOMPARE(rig.shown(name.toLatin1()), shown.contains(name));
        if (shown.contains(u"holdKeyLines"_s))
            QVERIFY(rig.find<QLabel>("holdKeyLines")
                        ->text()
                        .contains(u"bindsym --release Control_R exec vesk-voice stop"_s));
        if (path == int(HoldKeyPath::Path::portal))
            QVERIFY(rig.find<QLabel>("holdKeyAdvice")->text().contains(facts.trigger));
        if (shown.contains(u"readInputDevices"_s)) {
            rig.find<QCheckBox>("readInputDevices")->click();
            QVERIFY(rig.config().readInputDevices);
        }
    }

    // Both sliders keep their values on a grid; the pause slider shows only while pauses are cut.
    void slidersStayOnTheirGrids()
    {
        Rig rig([](Config &c) {
            c.holdThresholdMs = 333;
            c.keepSilenceSeconds = 0.25;
        });
        // An off-grid stored value is shown as it is until the slider moves.
        QCOMPARE(rig.find<QLabel>("holdForValue")->text(), u"333 ms"_s);
        QCOMPARE(rig.find<QLabel>("keepOfEachPauseValue")->text(), u"0.25s"_s);
        // Keys, pressed so many times, and the value stored and shown (the pause as a user would
        // type it, not 0.30000000000000004).
        for (const auto &[name, key, presses, stored, shown] :
             {std::tuple{"holdFor"_ba, Qt::Key_End, 1, 800.0, u"800 ms"_s},
              {"holdFor", Qt::Key_Home, 1, 100.0, u"100 ms"_s},
              {"holdFor", Qt::Key_Right, 1, 150.0, u"150 ms"_s},
              {"keepOfEachPause", Qt::Key_Home, 1, 0.05, u"0.05s"_s},
              {"keepOfEachPause", Qt::Key_End, 1, 1.0, u"1.00s"_s},
              {"keepOfEachPause", Qt::Key_Left, 14, 0.3, u"0.30s"_s}}) {
            auto *slider = rig.find<QSlider>(name.constData());
            slider->setFocus();
            for (int i = 0; i < presses; ++i)
                QTest::keyClick(slider, key);
            // Exactly: QCOMPARE would let a near miss through.
            const double value = name == "holdFor" ? double(rig.config().holdThresholdMs)
                                                   : rig.config().keepSilenceSeconds;
            QVERIFY2(value == stored, qPrintable(QString::number(value, 'g', 17)));
            QCOMPARE(rig.find<QLabel>((name + "Value").constData())->text(), shown);
        }
        // Every position, dragged or beyond the ends, lies on the grid.
        const auto *slider = rig.find<QSlider>("holdFor");
        for (int position = slider->minimum() - 3; position <= slider->maximum() + 3; ++position) {
            const qint64 ms = RecordingSection::holdMsForPosition(position);
            QVERIFY2(ms >= 100 && ms <= 800 && ms % 50 == 0, qPrintable(QString::number(ms)));
        }
        QCOMPARE(RecordingSection::positionForHoldMs(350), 5);
        QCOMPARE(RecordingSection::positionForHoldMs(5000), slider->maximum());
        for (int position = -2; position <= 25; ++position) {
            const double s = AudioSection::keepSecondsForPosition(position);
            QVERIFY(s >= 0.05 && s <= 1.0);
            QCOMPARE(AudioSection::keepSecondsForPosition(AudioSection::positionForKeepSeconds(s)),
                     s);
        }
    }

    void listParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("tabs") << u"\tuz-UZ\t,ru-RU"_s << QStringList{"uz-UZ", "ru-RU"};
        QTest::newRow("duplicates stay") << u"a,a"_s << QStringList{"a", "a"};
        QTest::newRow("line breaks are not separators") << u"x\ny, z"_s << QStringList{"x\ny", "z"};
        QTest::newRow("inner blanks stay") << u"New York"_s << QStringList{"New York"};
        QTest::newRow("only separators") << u" , ,\t,"_s << QStringList{};
        QTest::newRow("empty") << QString() << QStringList{};
    }

    void listParsing()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(ListBinding::parsed(text), items);
        QCOMPARE(ListBinding::parsed(ListBinding::shown(items)), items);
    }

    // Typed text counts as a list at once but stays as typed while the field has the focus;
    // otherwise the field shows the joined list, also after a change from elsewhere.
    void listFields()
    {
        Rig rig([](Config &c) {
            c.customVocabulary = {u"Vesk"_s};
            c.languageCodes = {u"xx-XX"_s};
        });
        auto *words = rig.find<QLineEdit>("knownWords");
        retype(words, u"  Ada ,, Lovelace , "_s);
        QCOMPARE(rig.config().customVocabulary, (QStringList{"Ada", "Lovelace"}));
        QCOMPARE(words->text(), u"  Ada ,, Lovelace , "_s);
        rig.find<QLineEdit>("apiKey")->setFocus();
        QTRY_COMPARE(words->text(), u"Ada, Lovelace"_s);

        // The spoken languages, ticked in any order, are kept in the table's order; a code from
        // outside the table, written into the file by hand, keeps a tick of its own until
        // unticked.
        auto *field = rig.find<SpokenLanguagesField>("languages");
        QCOMPARE(field->boxes().size(), SpokenLanguage::all().size() + 1);
        QCOMPARE(field->boxes().last()->text(), u"xx-XX"_s);
        field->boxes()[2]->click();
        field->boxes()[0]->click();
        QCOMPARE(rig.config().languageCodes, (QStringList{SpokenLanguage::all()[0].code,
                                                          SpokenLanguage::all()[2].code, "xx-XX"}));
        field->boxes().last()->click();
        QCOMPARE(rig.config().languageCodes.size(), 2);
        // A change from elsewhere shows at once.
        Config c = rig.config();
        c.languageCodes = {SpokenLanguage::all()[1].code};
        rig.state.setConfig(c);
        QCOMPARE(field->boxes().size(), SpokenLanguage::all().size());
        QVERIFY(field->boxes()[1]->isChecked() && !field->boxes()[0]->isChecked());
    }

    void loadModels()
    {
        Rig rig([](Config &c) {
            c.model = u"gemini-old"_s;
            c.apiKey.clear();
        });
        // Loading needs a key, hidden as it is typed.
        auto *load = rig.find<QPushButton>("loadModels");
        QVERIFY(!load->isEnabled());
        auto *key = rig.find<QLineEdit>("apiKey");
        QCOMPARE(key->echoMode(), QLineEdit::Password);
        retype(key, u"AIza"_s);
        QCOMPARE(m_server.requests().size(), 0);

        m_server.enqueue(200, FakeGeminiServer::modelsAnswer(
                                  {u"gemini-2.5-pro"_s, u"imagen-3"_s, u"gemini-embedding-001"_s,
                                   u"gemini-2.5-flash"_s, u"gemini-3.5-transcribe-live"_s,
                                   u"gemini-native-audio"_s},
                                  {u"gemini-native-audio"_s}));
        QCOMPARE(load->text(), u"Load"_s);
        QTest::mouseClick(load, Qt::LeftButton);
        QCOMPARE(rig.view->status(), u"Loading models..."_s);
        QVERIFY(!load->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->status(), u"Models available: 4"_s, 10000);
        QCOMPARE(m_server.requests().size(), 1);

        const QStringList listed{"gemini-2.5-flash", "gemini-2.5-pro", "gemini-3.5-transcribe-live",
                                 "gemini-native-audio"};
        QCOMPARE(rig.view->gemini()->models(), listed);
        // A live model, by its name or by its listing entry, says so in the list; its choice is
        // the plain name.
        for (const int row : {2, 3}) {
            QCOMPARE(rig.find<QComboBox>("modelPicker")->itemText(row), listed[row] + " (live)");
            QCOMPARE(rig.find<QComboBox>("modelPicker")->itemData(row).toString(), listed[row]);
        }
        QVERIFY(rig.shown("modelPicker") && !rig.shown("model"));
        QCOMPARE(load->text(), u"Reload"_s);
        // The missing model gives way to the first listed one, in memory only.
        QCOMPARE(rig.config().model, u"gemini-2.5-flash"_s);
        QCOMPARE(rig.find<QComboBox>("modelPicker")->currentText(), u"gemini-2.5-flash"_s);
        QCOMPARE(Config::load().model, u"gemini-old"_s);
        // Only a live model says what live dictation is.
        pick(rig.find<QComboBox>("modelPicker"), 2);
        QVERIFY(rig.shown("liveNote"));
        // The name does not tell: the choice keeps what the listing said.
        pick(rig.find<QComboBox>("modelPicker"), 3);
        QVERIFY(rig.shown("liveNote"));
        QCOMPARE(rig.config().liveModels, QStringList{u"gemini-native-audio"_s});
        pick(rig.find<QComboBox>("modelPicker"), 1);
        QCOMPARE(rig.config().model, u"gemini-2.5-pro"_s);
        QVERIFY(!rig.shown("liveNote"));

        // A failed reload keeps the list and the model.
        m_server.enqueue(403, FakeGeminiServer::errorAnswer(u"API key not valid"_s));
        QTest::mouseClick(load, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.view->gemini()->busy(), 10000);
        QCOMPARE(rig.view->status(), u"Gemini returned 403: API key not valid"_s);
        QCOMPARE(rig.view->gemini()->models(), listed);
        QCOMPARE(rig.config().model, u"gemini-2.5-pro"_s);
        QVERIFY(rig.find<QLabel>("status")->isVisibleTo(rig.view.get()));

        // A list without Gemini models gives the free-text field back, with the model.
        m_server.enqueue(200, FakeGeminiServer::modelsAnswer({u"imagen-3"_s, u"text-embedding"_s}));
        QTest::mouseClick(load, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->status(), u"Models available: 0"_s, 10000);
        QVERIFY(rig.shown("model") && !rig.shown("modelPicker"));
        QCOMPARE(rig.find<QLineEdit>("model")->text(), u"gemini-2.5-pro"_s);
        QCOMPARE(rig.config().model, u"gemini-2.5-pro"_s);
    }

    void microphones()
    {
        // Away, it is named as it was when chosen, and says what is recorded instead.
        Rig rig([](Config &c) {
            c.inputDeviceID = u"usb"_s;
            c.inputDeviceName = u"USB headset"_s;
        });
        auto *mic = rig.find<QComboBox>("microphone");
        QCOMPARE(mic->count(), 3);
        QCOMPARE(mic->itemText(0), u"System default"_s);
        QCOMPARE(mic->itemText(1), u"Mic a"_s);
        QCOMPARE(mic->itemText(2), u"USB headset — not connected"_s);
        QCOMPARE(mic->currentIndex(), 2);
        QVERIFY(rig.shown("microphoneAway"));

        // Plugged in: "Refresh" lists it under its own name.
        rig.inputs.append({u"usb"_s, u"USB headset"_s});
        QTest::mouseClick(rig.find<QPushButton>("refreshMicrophones"), Qt::LeftButton);
        QCOMPARE(mic->count(), 3);
        QCOMPARE(mic->itemText(2), u"USB headset"_s);
        QCOMPARE(mic->currentIndex(), 2);
        QVERIFY(!rig.shown("microphoneAway"));

        pick(mic, 0);
        QCOMPARE(rig.config().inputDeviceID, QString());
        pick(mic, 1);
        QCOMPARE(rig.config().inputDeviceID, u"a"_s);
        QCOMPARE(rig.config().inputDeviceName, u"Mic a"_s);
    }

    void saveAndOpenConfigFile()
    {
        Rig rig;
        auto *key = rig.find<QLineEdit>("apiKey");
        retype(key, u"new-key"_s);
        // Return presses the default button.
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(rig.saved.size(), 1);
        QCOMPARE(rig.saved[0].apiKey, u"new-key"_s);
        QCOMPARE(rig.view->status(), u"Saved."_s);

        // Return in the prompt is a new line, not a save.
        auto *prompt = rig.find<QPlainTextEdit>("prompt");
        prompt->setFocus();
        QTest::keyClick(prompt, Qt::Key_Return);
        QCOMPARE(rig.saved.size(), 1);
        QVERIFY(rig.config().prompt.contains(u'\n'));

        QTest::mouseClick(rig.find<QPushButton>("openConfigFile"), Qt::LeftButton);
        QCOMPARE(rig.revealed, QStringList{Config::fileURL()});
    }
};

QTEST_MAIN(SettingsViewTest)
#include "tst_settingsview.moc"
