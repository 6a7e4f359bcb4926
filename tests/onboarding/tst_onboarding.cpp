#include "FakeGeminiServer.h"
#include "onboarding/OnboardingSteps.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWidgets.h"
#include "state/AppState.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

// The first-run guide driven through its real widgets.
class OnboardingTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer m_server;

    struct Harness
    {
        AppState state;
        QList<Config> saved;
        int finished = 0;
        MicStatus mic = MicStatus::authorized;
        QList<QUrl> opened;
        // The microphone the page listens to, while it does: its level callback.
        bool canListen = true;
        QStringList listenedTo;
        QPointer<QObject> listener;
        std::function<void(double)> level;
        std::unique_ptr<OnboardingView> view;

        // The guide `pages` pages on, whatever each page asks before going on.
        explicit Harness(const Config &config = Config(), int pages = 0,
                         MicStatus initial = MicStatus::authorized,
                         const std::function<void(GuideServices &)> &adjust = {})
            : state(config, History()), mic(initial)
        {
            GuideServices services;
            services.micStatus = [this] { return mic; };
            services.requestMicrophone = [this](std::function<void()> answered) {
                mic = MicStatus::authorized;
                answered();
            };
            services.hotkeyLabel = [](HotkeyKind k) { return u"label-"_s + rawValue(k); };
            services.openUrl = [this](const QUrl &u) { opened.append(u); };
            services.listenToMicrophone = [this](const QString &id, QObject *owner,
                                                 std::function<void(double)> report) {
                listenedTo.append(id);
                listener = owner;
                level = std::move(report);
                return canListen;
            };
            if (adjust)
                adjust(services);
            view = std::make_unique<OnboardingView>(
                &state, [this](const Config &c) { saved.append(c); }, [this] { ++finished; },
                initial, services);
            view->show();
            for (int i = 0; i < pages; ++i)
                view->move(+1);
        }
        template <typename T> T *page() const { return qobject_cast<T *>(view->page()); }
        bool pageShows(const QString &text) const
        {
            for (const QLabel *l : view->page()->findChildren<QLabel *>()) {
                if (l->isVisibleTo(view->page()) && l->text() == text)
                    return true;
            }
            return false;
        }
    };

    // Set in the callout size: smaller than the body text around it.
    static bool smaller(const QLabel *label)
    {
        return label && label->font().pointSizeF() < QApplication::font(label).pointSizeF() - 0.1;
    }

    static Config languagesChosen()
    {
        Config c;
        c.languageCodes = {u"uz-UZ"_s};
        return c;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qunsetenv("GEMINI_API_KEY");
        qputenv("VESK_GEMINI_BASE_URL", m_server.baseUrl().toUtf8());
    }

    void init() { m_server.clear(); }

    void languagesInTableOrderGateNext()
    {
        Harness h; // a first run: no language chosen yet
        QVERIFY(!h.view->nextButton()->isEnabled());
        QVERIFY(!h.view->backButton()->isVisible());
        QVERIFY(!h.view->finishButton()->isVisible());

        auto *page = h.page<LanguagesStep>();
        QVERIFY(page);
        QCOMPARE(page->boxes().size(), 13);
        QCOMPARE(page->boxes()[0]->text(), QString::fromUtf8("O\u02BBzbekcha"));
        // Return does nothing while Next is disabled, and presses it once enabled.
        QTest::keyClick(h.view.get(), Qt::Key_Return);
        QCOMPARE(h.view->step(), OnboardingView::Step::languages);
        // English, Uzbek, Russian, Kazakh ticked, then English taken back.
        for (int i : {2, 0, 1, 3, 2})
            page->boxes()[i]->click();
        QTest::keyClick(h.view.get(), Qt::Key_Return);
        QCOMPARE(h.view->step(), OnboardingView::Step::microphone);
        QVERIFY(h.view->backButton()->isVisible());
        // Every page turn stores the configuration: the codes in the table's order.
        QCOMPARE(h.saved.last().languageCodes, (QStringList{"uz-UZ", "ru-RU", "kk-KZ"}));

        // A code from outside the table is dropped at the first change.
        Config c;
        c.languageCodes = {u"xx-XX"_s, u"ru-RU"_s};
        Harness unknown(c);
        QVERIFY(unknown.page<LanguagesStep>()->boxes()[1]->isChecked());
        unknown.page<LanguagesStep>()->boxes()[0]->click();
        QCOMPARE(unknown.state.config().languageCodes, (QStringList{"uz-UZ", "ru-RU"}));
    }

    void microphoneStatusRefreshesByItself()
    {
        Harness h(languagesChosen(), 1, MicStatus::denied);
        QVERIFY(!h.view->nextButton()->isEnabled());
        QVERIFY(h.pageShows(u"Microphone access is off"_s));
        QVERIFY(smaller(h.view->page()->findChild<QLabel *>(u"microphoneHint"_s)));
        QCOMPARE(h.view->page()->findChild<QPushButton *>()->text(), u"Open System Settings"_s);

        h.mic = MicStatus::authorized; // granted elsewhere
        QTRY_VERIFY_WITH_TIMEOUT(h.view->nextButton()->isEnabled(), 3000);
        QVERIFY(h.pageShows(u"Microphone allowed"_s));

        // Allowed, the page listens to the chosen microphone while it shows, with a live bar.
        auto *page = h.page<MicrophoneStep>();
        QCOMPARE(h.listenedTo, QStringList{QString()});
        h.level(0.6);
        QCOMPARE(page->meter()->value(), 60);
        QVERIFY(page->silenceWarning()->isHidden());
        h.view->hide();
        QVERIFY(!h.listener);
        h.view->show();
        QTRY_VERIFY(h.listener);
        // A microphone that cannot be opened is said at once.
        h.view->move(-1);
        h.canListen = false;
        h.view->move(+1);
        QTRY_VERIFY(h.page<MicrophoneStep>()->silenceWarning()->isVisibleTo(h.view.get()));

        Harness ask(languagesChosen(), 1, MicStatus::notDetermined);
        auto *allow = ask.view->page()->findChild<QPushButton *>();
        QCOMPARE(allow->text(), u"Allow microphone"_s);
        allow->click();
        QVERIFY(ask.view->nextButton()->isEnabled());
    }

    // Keyboard access never arrives while a Wayland session runs: there the page says what to do
    // instead of promising to update, and lets the user go on.
    void accessibilityPage_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::newRow("X11") << false;
        QTest::newRow("Wayland") << true;
    }

    void accessibilityPage()
    {
        QFETCH(bool, wayland);
        Harness h(languagesChosen(), 2, MicStatus::authorized, [wayland](GuideServices &s) {
            s.waylandSession = [wayland] { return wayland; };
        });
        QCOMPARE(h.view->nextButton()->isEnabled(), wayland);
        QCOMPARE(h.pageShows(u"Waiting for permission..."_s), !wayland);
        QCOMPARE(h.pageShows(u"The hotkey cannot work in a Wayland session."_s), wayland);
        QVERIFY(smaller(h.view->page()->findChild<QLabel *>(u"statusText"_s)));
        h.state.setAccessibilityGranted(true);
        QVERIFY(h.view->nextButton()->isEnabled());
        QVERIFY(h.pageShows(u"Accessibility allowed"_s));
    }

    void keyCheck()
    {
        Harness h(languagesChosen(), 3);
        auto *page = h.page<GeminiStep>();
        QVERIFY(page);
        QVERIFY(!h.view->nextButton()->isEnabled());
        QVERIFY(!page->checkButton()->isEnabled());

        QTest::keyClicks(page->keyField(), u"   "_s);
        QVERIFY(!page->checkButton()->isEnabled());

        // A failure shows its description and leaves Next as it was.
        m_server.enqueue(400, FakeGeminiServer::errorAnswer(u"API key not valid"_s));
        QTest::keyClicks(page->keyField(), u"bad-key\t"_s);
        page->checkButton()->click();
        QCOMPARE(page->checkButton()->text(), u"Checking..."_s);
        QTRY_VERIFY(!page->isBusy());
        QCOMPARE(page->error(), u"Gemini returned 400: API key not valid"_s);
        const auto *warning = page->findChild<QLabel *>(u"warningText"_s);
        QVERIFY(warning);
        // It reads as body text does, 4.5:1 at least, on light and dark windows alike.
        QVERIFY(GuideStyle::contrast(warning->palette().color(QPalette::WindowText),
                                     h.view->palette().color(QPalette::Window)) >= 4.5);
        for (const QColor &window : {QColor(Qt::white), QColor(0x2d, 0x2d, 0x2d)})
            QVERIFY(GuideStyle::contrast(GuideStyle::warning(window), window) >= 4.5);
        QVERIFY(!h.view->nextButton()->isEnabled());
        QCOMPARE(h.state.config().apiKey, u"bad-key"_s);
        QCOMPARE(m_server.requests().last().headers.value("x-goog-api-key"), "bad-key"_ba);

        // Success: the key is stored trimmed, the model picked (with what the listing says of
        // the streaming-only ones), Next enabled.
        m_server.enqueue(200,
                         FakeGeminiServer::modelsAnswer(
                             {u"gemini-pro"_s, u"gemini-2.5-flash"_s, u"gemini-native-audio"_s},
                             {u"gemini-native-audio"_s}));
        page->keyField()->clear();
        QTest::keyClicks(page->keyField(), u" good-key "_s);
        page->checkButton()->click();
        QTRY_VERIFY(h.view->keyChecked());
        QCOMPARE(h.state.config().model, u"gemini-2.5-flash"_s);
        QCOMPARE(h.state.config().liveModels, QStringList{u"gemini-native-audio"_s});
        QVERIFY(h.pageShows(u"The key works. Model: gemini-2.5-flash"_s));
        QVERIFY(h.view->nextButton()->isEnabled());

        // Any edit asks for a new check.
        QTest::keyClick(page->keyField(), Qt::Key_Backspace);
        QVERIFY(!h.view->nextButton()->isEnabled());
        QVERIFY(!h.pageShows(u"The key works. Model: gemini-2.5-flash"_s));

        h.view->page()->findChild<QPushButton *>(u"aiStudioLink"_s)->click();
        QCOMPARE(h.opened, QList<QUrl>{GeminiStep::aiStudioUrl()});
    }

    // A key already there lets the user go on at once; its page says where it comes from and
    // checks it before saying it works.
    void keyAlreadyThereIsNamedAndChecked_data()
    {
        QTest::addColumn<bool>("works");
        QTest::newRow("works") << true;
        QTest::newRow("refused") << false;
    }

    void keyAlreadyThereIsNamedAndChecked()
    {
        QFETCH(bool, works);
        qputenv("GEMINI_API_KEY", "from-env");
        const auto unset = qScopeGuard([] { qunsetenv("GEMINI_API_KEY"); });
        m_server.enqueue(works ? 200 : 400,
                         works ? FakeGeminiServer::modelsAnswer({u"gemini-x"_s})
                               : FakeGeminiServer::errorAnswer(u"API key expired"_s));
        Harness h(languagesChosen(), 3);
        QVERIFY(h.view->nextButton()->isEnabled());
        QVERIFY(h.pageShows(
            u"The key in the GEMINI_API_KEY environment variable is used, as none is stored."_s));
        QVERIFY(!h.pageShows(u"The key works. Model: gemini-x"_s));
        QTRY_COMPARE(m_server.requests().size(), 1);
        QCOMPARE(m_server.requests().first().headers.value("x-goog-api-key"), "from-env"_ba);
        auto *page = h.page<GeminiStep>();
        QTRY_VERIFY(!page->isBusy());
        QCOMPARE(h.pageShows(u"The key works. Model: gemini-x"_s), works);
        QCOMPARE(page->error().isEmpty(), works);
    }

    void tryItAndFinish()
    {
        Harness h(languagesChosen(), 4);
        QVERIFY(!h.view->nextButton()->isVisible());
        QVERIFY(h.view->finishButton()->isVisible());
        h.view->move(+1); // nothing after the last page
        QCOMPARE(h.view->step(), OnboardingView::Step::tryIt);

        auto *page = h.page<TryItStep>();
        QCOMPARE(page->hotkeyPicker()->count(), 4);
        QCOMPARE(page->hotkeyPicker()->itemText(3), u"label-rightCommand"_s);
        // Start at login is stored at once.
        page->launchAtLoginBox()->click();
        QVERIFY(h.saved.last().launchAtLogin);

        h.state.setMessage(u"Gemini returned 503: busy"_s);
        h.state.setPhase(AppState::Phase::failed);
        QVERIFY(page->findChild<QLabel *>(u"warningText"_s));

        // Closing half-way would leave it undone. In the sample box Return is a line break (a
        // dictation there may type one); Ctrl+Return finishes from there.
        QVERIFY(!h.saved.last().onboardingDone);
        h.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.view.get()));
        page->sampleBox()->setFocus();
        QTest::keyClick(page->sampleBox(), Qt::Key_Return);
        QCOMPARE(h.finished, 0);
        QCOMPARE(page->sampleBox()->toPlainText(), u"\n"_s);
        QTest::keyClick(page->sampleBox(), Qt::Key_Return, Qt::ControlModifier);
        // What finishing stores is tst_shell's firstLaunchOpensTheGuide.
        QCOMPARE(h.finished, 1);
    }

    void progressDots()
    {
        ProgressDots dots(5);
        dots.setCurrent(2);
        QTRY_COMPARE(dots.dotRects()[2].width(), 22.0);
        QCOMPARE(dots.dotRects()[0].width(), 8.0);
        QCOMPARE(dots.dotRects()[4].height(), 8.0);
        dots.setCurrent(9);
        QCOMPARE(dots.current(), 4);
    }
};

QTEST_MAIN(OnboardingTest)
#include "tst_onboarding.moc"
