#include "GeminiClient.h"

#include <QtTest>

class AnswersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorMessages()
    {
        QCOMPARE(GeminiClient::errorMessage(R"({"error": {"message": "API key not valid"}})"),
                 QStringLiteral("API key not valid"));
        QCOMPARE(GeminiClient::errorMessage("<html>Bad gateway</html>"),
                 QStringLiteral("<html>Bad gateway</html>"));
        QCOMPARE(GeminiClient::errorMessage(R"({"error": "flat"})"),
                 QStringLiteral(R"({"error": "flat"})"));
        QCOMPARE(GeminiClient::errorMessage(QByteArray("\xff\xfe\xfd", 3)),
                 QStringLiteral("unknown error"));
        QCOMPARE(GeminiError::http(429, QStringLiteral("slow down")).description(),
                 QStringLiteral("Gemini returned 429: slow down"));
        QCOMPARE(GeminiError::noApiKey().description(),
                 QStringLiteral("No API key. Add it in Settings, or set GEMINI_API_KEY."));
        QCOMPARE(GeminiError::emptyResponse().description(),
                 QStringLiteral("Gemini returned no text."));
    }

    void generatedText()
    {
        auto text = GeminiClient::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "thinking...", "thought": true}, {"text": "  Salom\n"}, {"text": " dunyo \n"}]}}]})");
        QVERIFY(text.ok());
        QCOMPARE(text.value(), QStringLiteral("Salom\n dunyo"));

        auto stopped = GeminiClient::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "x", "thought": true}]}, "finishReason": "MAX_TOKENS"}]})");
        QVERIFY(!stopped.ok());
        QCOMPARE(stopped.error(),
                 GeminiError::badResponse(QStringLiteral("finishReason MAX_TOKENS")));

        auto empty = GeminiClient::generatedText(R"({"candidates": [{"content": {"parts": [
            {"text": "  "}]}, "finishReason": "STOP"}]})");
        QCOMPARE(empty.error(), GeminiError::emptyResponse());

        auto blocked =
            GeminiClient::generatedText(R"({"promptFeedback": {"blockReason": "SAFETY"}})");
        QCOMPARE(blocked.error(), GeminiError::badResponse(QStringLiteral("blocked (SAFETY)")));
        QCOMPARE(GeminiClient::generatedText(R"({"candidates": []})").error(),
                 GeminiError::emptyResponse());
        QCOMPARE(GeminiClient::generatedText("[1]").error(),
                 GeminiError::badResponse(QStringLiteral("not an object")));
        QCOMPARE(GeminiClient::generatedText("not json").error().kind(),
                 GeminiError::Kind::invalidJson);
    }

    void interactionText()
    {
        auto text = GeminiClient::interactionText(R"({"steps": [
            {"content": [{"type": "text", "text": " Hel"}]}, {"content": [{"text": "lo "}, {"x": 1}]}]})");
        QVERIFY(text.ok());
        QCOMPARE(text.value(), QStringLiteral("Hello"));
        QCOMPARE(GeminiClient::interactionText(R"({"steps": "no"})").error(),
                 GeminiError::emptyResponse());
    }

    void modelNamesAndPick()
    {
        auto names = GeminiClient::modelNames(R"({"models": [{"name": "models/gemini-b"},
            {"name": "gemini-a"}, {"displayName": "nameless"}, {"name": "models/Zeta"}]})");
        QVERIFY(names.ok());
        QCOMPARE(names.value(), (QStringList{QStringLiteral("Zeta"), QStringLiteral("gemini-a"),
                                             QStringLiteral("gemini-b")}));
        QCOMPARE(GeminiClient::modelNames(R"({"models": []})").value(), QStringList());
        const GeminiError noModels = GeminiError::badResponse(QStringLiteral("no models field"));
        QCOMPARE(GeminiClient::modelNames(R"({"models": [1]})").error(), noModels);
        QCOMPARE(GeminiClient::modelNames(R"({"other": []})").error(), noModels);

        const QStringList listed = {
            QStringLiteral("gemini-2-flash-lite"), QStringLiteral("gemini-3-flash"),
            QStringLiteral("gemini-3-flash-image"), QStringLiteral("gemini-pro")};
        QCOMPARE(GeminiClient::pickModel(listed, QStringLiteral("gemini-2-flash-lite")),
                 std::optional<QString>(QStringLiteral("gemini-2-flash-lite")));
        QCOMPARE(GeminiClient::pickModel(listed, QStringLiteral("gone")),
                 std::optional<QString>(QStringLiteral("gemini-3-flash")));
        QCOMPARE(GeminiClient::pickModel(
                     {QStringLiteral("gemini-x-flash-lite"), QStringLiteral("other")},
                     QStringLiteral("gone")),
                 std::optional<QString>(QStringLiteral("gemini-x-flash-lite")));
        QCOMPARE(GeminiClient::pickModel({QStringLiteral("palm")}, QStringLiteral("gone")),
                 std::nullopt);
        QCOMPARE(GeminiClient::pickModel({}, QStringLiteral("gone")), std::nullopt);
    }

    void endpointChoiceAndAddresses()
    {
        QVERIFY(GeminiClient::usesInteractions(QStringLiteral("gemini-transcribe-1")));
        QVERIFY(!GeminiClient::usesInteractions(QStringLiteral("gemini-Transcribe")));
        QVERIFY(!GeminiClient::usesInteractions(QStringLiteral("gemini-3.7-flash")));
        for (const char *bad : {"", "a/b", "a?b", "a#b", "a b", "a\nb"})
            QVERIFY2(!GeminiClient::generateContentAddress(QString::fromLatin1(bad)).ok(), bad);
        qputenv("VESK_GEMINI_BASE_URL", "http://127.0.0.1:1");
        const auto address =
            GeminiClient::generateContentAddress(QStringLiteral("gemini-3.7-flash"));
        QVERIFY(address.ok());
        QCOMPARE(
            address.value().toString(),
            QStringLiteral("http://127.0.0.1:1/v1beta/models/gemini-3.7-flash:generateContent"));
        qunsetenv("VESK_GEMINI_BASE_URL");
    }
};

QTEST_GUILESS_MAIN(AnswersTest)
#include "tst_answers.moc"
