<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="uz" sourcelanguage="en">
<context>
    <name>Accessibility</name>
    <message>
        <source>No X server: the hold-to-talk key and text insertion need an X11 session.</source>
        <translation>X server yoʻq: gapirish tugmasi va matnni qoʻyish uchun X11 seansi kerak.</translation>
    </message>
    <message>
        <source>The X server lacks the XInput2 extension, so the hold-to-talk key cannot be watched.</source>
        <translation>X serverda XInput2 kengaytmasi yoʻq, shuning uchun gapirish tugmasini kuzatib boʻlmaydi.</translation>
    </message>
    <message>
        <source>The X server lacks the XTEST extension, so text cannot be inserted.</source>
        <translation>X serverda XTEST kengaytmasi yoʻq, shuning uchun matnni qoʻyib boʻlmaydi.</translation>
    </message>
    <message>
        <source>This Wayland desktop offers no virtual keyboard, so text cannot be inserted into its windows.</source>
        <translation>Bu Wayland ish stolida virtual klaviatura yoʻq, shuning uchun uning oynalariga matn qoʻyib boʻlmaydi.</translation>
    </message>
    <message>
        <source>This Wayland session offers no X11 input: the hold-to-talk key and text insertion need an X11 session (or XWayland).</source>
        <translation>Bu Wayland seansida X11 kiritish imkoni yoʻq: gapirish tugmasi va matnni qoʻyish uchun X11 seansi (yoki XWayland) kerak.</translation>
    </message>
    <message>
        <source>Turned off by %1=none.</source>
        <translation>%1=none bilan oʻchirilgan.</translation>
    </message>
</context>
<context>
    <name>AccessibilityStep</name>
    <message>
        <source>Accessibility</source>
        <translation>Klaviaturaga ruxsat</translation>
    </message>
    <message>
        <source>macOS asks for this so Vesk Voice can notice the hotkey in any app and type the text where your cursor is. It never saves or sends anything you type.</source>
        <translation>Istalgan ilovada gapirish tugmasini sezish va matnni kursor turgan joyga yozish uchun Vesk Voice ilovasiga ish stoli imkon berishi kerak: X11 seansi buni beradi, Wayland seansida esa bu ish stoliga bogʻliq (quyida koʻrsatilgan). Vesk Voice siz terayotgan hech narsani saqlamaydi va hech qayerga yubormaydi.</translation>
    </message>
    <message>
        <source>Accessibility allowed</source>
        <translation>Klaviaturaga ruxsat bor</translation>
    </message>
    <message>
        <source>Press the button below. System Settings opens.</source>
        <translation>Agar Wayland ishlatsangiz, tizimdan chiqing va kirish ekranida X11 (Xorg) seansini tanlang.</translation>
    </message>
    <message>
        <source>Find Vesk Voice in the list and turn it on. If it is not there, press +, open Applications and choose Vesk Voice.</source>
        <translation>Vesk Voice ilovasini oʻsha seansda ishga tushiring. X serverda XInput2 va XTEST kengaytmalari ham boʻlishi kerak — odatdagi X serverlarda ular bor.</translation>
    </message>
    <message>
        <source>Come back here. This screen updates by itself.</source>
        <translation>Bu yerga qayting. Bu sahifa oʻzi yangilanadi.</translation>
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Klaviatura sozlamalarini ochish</translation>
    </message>
    <message>
        <source>Waiting for permission...</source>
        <translation>Klaviaturaga ruxsat kutilmoqda...</translation>
    </message>
    <message>
        <source>Log out, choose an X11 (Xorg) session on the login screen, and start Vesk Voice there.</source>
        <translation>Tizimdan chiqing, kirish ekranida X11 (Xorg) seansini tanlang va Vesk Voice ilovasini oʻsha seansda ishga tushiring.</translation>
    </message>
    <message>
        <source>Or stay in Wayland and give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. The text is kept in History to copy from there.</source>
        <translation>Yoki Wayland seansida qolib, ish stoli sozlamalarida vesk-voice toggle buyrugʻiga klavishlar birikmasini biriktiring: birinchi bosish ovoz bilan yozishni boshlaydi, keyingisi uni yuboradi. Matn tarixda saqlanadi, uni u yerdan nusxalash mumkin.</translation>
    </message>
    <message>
        <source>The hotkey cannot work in a Wayland session.</source>
        <translation>Wayland seansida gapirish tugmasi ishlamaydi.</translation>
    </message>
    <message>
        <source>Vesk Voice notices the hotkey in any app and types the text where your cursor is through the X server's XInput2 and XTEST extensions. It never saves or sends anything you type.</source>
        <translation>Vesk Voice istalgan ilovada gapirish tugmasini X serverning XInput2 va XTEST kengaytmalari orqali sezadi va matnni kursor turgan joyga yozadi. Vesk Voice siz terayotgan hech narsani saqlamaydi va hech qayerga yubormaydi.</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Accessibility permission needed</source>
        <translation>Klaviaturaga ruxsat kerak</translation>
    </message>
    <message>
        <source>Hold %1 to talk</source>
        <translation>Gapirish uchun %1 tugmasini bosib turing</translation>
    </message>
    <message>
        <source>Recording... (Esc to cancel)</source>
        <translation>Yozilmoqda... (Esc — bekor qilish)</translation>
    </message>
    <message>
        <source>Transcribing...</source>
        <translation>Matnga aylantirilmoqda...</translation>
    </message>
    <message>
        <source>Something went wrong</source>
        <translation>Xatolik yuz berdi</translation>
    </message>
</context>
<context>
    <name>AppLanguage</name>
    <message>
        <source>System</source>
        <translation>Tizim boʻyicha</translation>
    </message>
</context>
<context>
    <name>AppLanguagePicker</name>
    <message>
        <source>Interface language</source>
        <translation>Interfeys tili</translation>
    </message>
</context>
<context>
    <name>AppShell</name>
    <message>
        <source>Add your Gemini API key in Settings.</source>
        <translation>Gemini API kalitingizni sozlamalarda kiriting.</translation>
    </message>
</context>
<context>
    <name>AppState</name>
    <message>
        <source>The settings could not be saved (%1). The next change tries again.</source>
        <translation>Sozlamalarni saqlab boʻlmadi (%1). Keyingi oʻzgarishda yana urinib koʻriladi.</translation>
    </message>
    <message>
        <source>The history could not be saved (%1). The next change tries again.</source>
        <translation>Tarixni saqlab boʻlmadi (%1). Keyingi oʻzgarishda yana urinib koʻriladi.</translation>
    </message>
</context>
<context>
    <name>AppWindows</name>
    <message>
        <source>This desktop gives Vesk Voice no way back to the app you were in, so the text was copied: paste it there.</source>
        <translation>Bu ish stoli Vesk Voice ilovasiga siz ishlagan ilovaga qaytish imkonini bermaydi, shuning uchun matn buferga nusxalandi: uni oʻsha yerga qoʻying.</translation>
    </message>
</context>
<context>
    <name>AudioRecorder</name>
    <message>
        <source>The microphone could not be added.</source>
        <translation>Mikrofonni ulab boʻlmadi.</translation>
    </message>
    <message>
        <source>Could not start the microphone. </source>
        <translation>Mikrofonni ishga tushirib boʻlmadi. </translation>
    </message>
    <message>
        <source>The chosen microphone is not available. Pick another one in Settings.</source>
        <translation>Tanlangan mikrofon mavjud emas. Sozlamalarda boshqasini tanlang.</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Tizimdagi standart mikrofon</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Ulanmagan</translation>
    </message>
</context>
<context>
    <name>AudioSection</name>
    <message>
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Yangilash</translation>
    </message>
    <message>
        <source>Cut long pauses before sending</source>
        <translation>Yuborishdan oldin uzun pauzalarni qirqish</translation>
    </message>
    <message>
        <source>Keep audio files (debugging)</source>
        <translation>Audio fayllarni saqlash (nosozliklarni tuzatish uchun)</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Keep of each pause</source>
        <translation>Har pauzadan qoldiriladigan qism</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Tizimdagi standart mikrofon</translation>
    </message>
    <message>
        <source> — not connected</source>
        <translation> — ulanmagan</translation>
    </message>
    <message>
        <source>Send audio as</source>
        <translation>Audioni yuborish formati</translation>
    </message>
    <message>
        <source>FLAC is lossless and about half the size of WAV; Ogg Vorbis is a seventh of it, enough for speech, and leaves soonest on a slow link.</source>
        <translation>FLAC sifatni yoʻqotmaydi va hajmi WAV formatidan taxminan ikki baravar kichik; Ogg Vorbis esa yetti baravar kichik, nutq uchun shu yetarli va sekin tarmoqda eng tez yetib boradi.</translation>
    </message>
    <message>
        <source>Until it is back, the system default microphone records.</source>
        <translation>U qaytib ulanguncha tizimdagi standart mikrofon yozib oladi.</translation>
    </message>
</context>
<context>
    <name>EvdevKeyEventSource</name>
    <message>
        <source>You are in the input group, but this session started before: log out and back in.</source>
        <translation>Siz input guruhidasiz, lekin bu seans undan oldin boshlangan: tizimdan chiqing va qayta kiring.</translation>
    </message>
    <message>
        <source>Reading the keyboard needs the input group. Run: sudo usermod -aG input $USER, then log out and back in.</source>
        <translation>Klaviaturani oʻqish uchun input guruhi kerak. Buyruqni bajaring: sudo usermod -aG input $USER, soʻng tizimdan chiqing va qayta kiring.</translation>
    </message>
    <message>
        <source>No keyboard found under %1.</source>
        <translation>Klaviatura topilmadi: %1</translation>
    </message>
</context>
<context>
    <name>GeminiError</name>
    <message>
        <source>no answer within %1 seconds</source>
        <translation>%1 soniya ichida javob kelmadi</translation>
    </message>
    <message>
        <source>a redirect, not followed</source>
        <translation>qayta yoʻnaltirish, unga oʻtilmadi</translation>
    </message>
    <message>
        <source>a redirect to %1, not followed</source>
        <translation>%1 manziliga qayta yoʻnaltirish, unga oʻtilmadi</translation>
    </message>
    <message>
        <source>no message</source>
        <translation>xabarsiz</translation>
    </message>
    <message>
        <source>the answer is larger than %1 MB</source>
        <translation>javob %1 MB dan katta</translation>
    </message>
    <message>
        <source>the connection was closed before an answer came</source>
        <translation>javob kelmasidan oldin ulanish uzildi</translation>
    </message>
    <message>
        <source>Gemini returned </source>
        <translation>Gemini xato kodi </translation>
    </message>
    <message>
        <source>Could not read the Gemini response: </source>
        <translation>Gemini javobini oʻqib boʻlmadi: </translation>
    </message>
    <message>
        <source>No API key. Add it in Settings, or set GEMINI_API_KEY.</source>
        <translation>API kaliti yoʻq. Uni sozlamalarda kiriting yoki GEMINI_API_KEY oʻzgaruvchisini belgilang.</translation>
    </message>
    <message>
        <source>Gemini returned no text.</source>
        <translation>Gemini matn qaytarmadi.</translation>
    </message>
    <message>
        <source>Could not reach Gemini: </source>
        <translation>Gemini bilan bogʻlanib boʻlmadi: </translation>
    </message>
    <message>
        <source>Gemini sent an answer that is not JSON: </source>
        <translation>Gemini JSON boʻlmagan javob yubordi: </translation>
    </message>
    <message>
        <source>Could not read the recording %1: %2</source>
        <translation>%1 yozuvini oʻqib boʻlmadi: %2</translation>
    </message>
    <message>
        <source>The model name "%1" cannot be used in a request address.</source>
        <translation>«%1» model nomini soʻrov manzilida ishlatib boʻlmaydi.</translation>
    </message>
    <message>
        <source>Not a usable Gemini address (check VESK_GEMINI_BASE_URL): </source>
        <translation>Gemini manzili yaroqsiz (VESK_GEMINI_BASE_URL qiymatini tekshiring): </translation>
    </message>
    <message>
        <source>The API key contains line breaks or other control characters. Enter it again in Settings.</source>
        <translation>API kalitida qator uzilishlari yoki boshqa boshqaruv belgilari bor. Uni sozlamalarda qaytadan kiriting.</translation>
    </message>
    <message>
        <source>The request was cancelled.</source>
        <translation>Soʻrov bekor qilindi.</translation>
    </message>
    <message>
        <source>the answer lacks %1</source>
        <translation>javobda %1 yoʻq</translation>
    </message>
    <message>
        <source>the upload was not given a usable address</source>
        <translation>yuklash uchun yaroqli manzil berilmadi</translation>
    </message>
    <message>
        <source>the uploaded file was not named</source>
        <translation>yuklangan faylga nom berilmadi</translation>
    </message>
    <message>
        <source>the connection was closed before the whole answer came</source>
        <translation>javob toʻliq kelmasidan oldin ulanish uzildi</translation>
    </message>
</context>
<context>
    <name>GeminiSection</name>
    <message>
        <source>Gemini</source>
        <translation>Gemini</translation>
    </message>
    <message>
        <source>API key</source>
        <translation>API kaliti</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>smart (tidied up)</source>
        <translation>tahrir bilan</translation>
    </message>
    <message>
        <source>verbatim (every word)</source>
        <translation>soʻzma-soʻz</translation>
    </message>
    <message>
        <source>Transcription</source>
        <translation>Matnga aylantirish</translation>
    </message>
    <message>
        <source>names the model tends to mishear</source>
        <translation>model koʻpincha notoʻgʻri eshitadigan nomlar</translation>
    </message>
    <message>
        <source>Known words</source>
        <translation>Shaxsiy lugʻat</translation>
    </message>
    <message>
        <source>Languages</source>
        <translation>Tillar</translation>
    </message>
    <message>
        <source>model default</source>
        <translation>modelning standart sozlamasi</translation>
    </message>
    <message>
        <source>low (blocks long audio)</source>
        <translation>past (uzun yozuvlarni rad etadi)</translation>
    </message>
    <message>
        <source>high</source>
        <translation>yuqori</translation>
    </message>
    <message>
        <source>Thinking</source>
        <translation>Fikrlash darajasi</translation>
    </message>
    <message>
        <source>Prompt</source>
        <translation>Koʻrsatma</translation>
    </message>
    <message>
        <source>The mode and the word list above are added to this automatically.</source>
        <translation>Yuqoridagi rejim va shaxsiy lugʻat koʻrsatmaga avtomatik qoʻshiladi.</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Yangilash</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Yuklash</translation>
    </message>
    <message>
        <source>Drops filler words, resolves spoken corrections, formats numbers and dates.</source>
        <translation>Ortiqcha toʻldiruvchi soʻzlarni olib tashlaydi, ogʻzaki tuzatishlarni hisobga oladi, sonlar va sanalarni odatdagi shaklda yozadi.</translation>
    </message>
    <message>
        <source>Writes down exactly what was said.</source>
        <translation>Aytilganini aynan yozadi.</translation>
    </message>
    <message>
        <source>Loading models...</source>
        <translation>Modellar yuklanmoqda...</translation>
    </message>
    <message>
        <source>Models available: </source>
        <translation>Mavjud modellar: </translation>
    </message>
    <message>
        <source>%1 (live)</source>
        <translation>%1 (jonli)</translation>
    </message>
    <message>
        <source>A live model: the words appear beside the floating button while you speak. Past 10 minutes, or when the connection drops, the recording goes the usual way and the dictation is only slower.</source>
        <translation>Jonli model: gapirayotganingizda soʻzlar suzuvchi tugma yonida paydo boʻladi. 10 daqiqadan oshsa yoki aloqa uzilsa, yozuv odatiy yoʻl bilan yuboriladi, faqat ovoz bilan yozish biroz sekinroq boʻladi.</translation>
    </message>
</context>
<context>
    <name>GeminiStep</name>
    <message>
        <source>Gemini API key</source>
        <translation>Gemini API kaliti</translation>
    </message>
    <message>
        <source>Google Gemini turns your voice into text. You need your own free key — it takes about a minute.</source>
        <translation>Google Gemini ovozingizni matnga aylantiradi. Buning uchun oʻz bepul kalitingiz kerak — uni olishga bir daqiqacha vaqt ketadi.</translation>
    </message>
    <message>
        <source>Open Google AI Studio and sign in with your Google account.</source>
        <translation>Google AI Studio saytini oching va Google hisobingiz bilan kiring.</translation>
    </message>
    <message>
        <source>Press Create API key. If asked, create a project first.</source>
        <translation>«Create API key» tugmasini bosing. Soʻralsa, avval loyiha yarating.</translation>
    </message>
    <message>
        <source>Copy the key and paste it below.</source>
        <translation>Kalitni nusxalab, quyidagi maydonga qoʻying.</translation>
    </message>
    <message>
        <source>Open Google AI Studio</source>
        <translation>Google AI Studio saytini ochish</translation>
    </message>
    <message>
        <source>API key</source>
        <translation>API kaliti</translation>
    </message>
    <message>
        <source>The free tier has daily limits, and Google may use free-tier requests to improve its products. Turning on billing in AI Studio removes both.</source>
        <translation>Bepul tarifda kunlik cheklovlar bor va Google bepul soʻrovlardan oʻz mahsulotlarini yaxshilash uchun foydalanishi mumkin. AI Studio saytida toʻlovni yoqsangiz, ikkalasi ham olib tashlanadi.</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Tekshirilmoqda...</translation>
    </message>
    <message>
        <source>Check key</source>
        <translation>Kalitni tekshirish</translation>
    </message>
    <message>
        <source>The key works. Model: </source>
        <translation>Kalit ishlayapti. Model: </translation>
    </message>
    <message>
        <source>The key in the GEMINI_API_KEY environment variable is used, as none is stored.</source>
        <translation>Saqlangan kalit yoʻq, shuning uchun GEMINI_API_KEY muhit oʻzgaruvchisidagi kalit ishlatiladi.</translation>
    </message>
</context>
<context>
    <name>HUDView</name>
    <message>
        <source>Send it (or let the keys go)</source>
        <translation>Yuborish (yoki klavishlarni qoʻyib yuborish)</translation>
    </message>
    <message>
        <source>Cancel (Esc)</source>
        <translation>Bekor qilish (Esc)</translation>
    </message>
    <message>
        <source>Click to record, or hold %1</source>
        <translation>Yozish uchun bosing yoki %1 tugmasini bosib turing</translation>
    </message>
</context>
<context>
    <name>HistoryRow</name>
    <message>
        <source>Copy</source>
        <translation>Nusxalash</translation>
    </message>
    <message>
        <source>Insert into the front app</source>
        <translation>Faol ilovaga qoʻyish</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Oʻchirish</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>History</source>
        <translation>Tarix</translation>
    </message>
    <message>
        <source>Search transcripts</source>
        <translation>Matnlardan qidirish</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Tozalash</translation>
    </message>
    <message>
        <source>No transcripts yet</source>
        <translation>Hozircha matn yoʻq</translation>
    </message>
    <message>
        <source>Hold %1 and talk, or click the floating button.</source>
        <translation>Gapirish uchun %1 tugmasini bosib turing yoki suzuvchi tugmani bosing.</translation>
    </message>
    <message>
        <source>Delete every transcript?</source>
        <translation>Barcha matnlar oʻchirilsinmi?</translation>
    </message>
    <message>
        <source>This cannot be undone.</source>
        <translation>Buni qaytarib boʻlmaydi.</translation>
    </message>
    <message>
        <source>Delete all</source>
        <translation>Hammasini oʻchirish</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Bekor qilish</translation>
    </message>
</context>
<context>
    <name>HoldKeyPath</name>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, being set up.</source>
        <translation>Gapirish tugmasi: ish stolidagi klavishlar birikmasi, sozlanmoqda.</translation>
    </message>
    <message>
        <source>If your desktop asks which key to use, choose one and confirm.</source>
        <translation>Ish stoli qaysi klavishni ishlatishni soʻrasa, klavishni tanlang va tasdiqlang.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, which has no key yet.</source>
        <translation>Gapirish tugmasi: ish stolidagi klavishlar birikmasi, unga hali klavish berilmagan.</translation>
    </message>
    <message>
        <source>Give "Hold to talk (Vesk Voice)" a key in your desktop's keyboard shortcut settings.</source>
        <translation>Ish stolining klavishlar birikmasi sozlamalarida «Bosib turib gapirish (Vesk Voice)» bandiga klavish tayinlang.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: %1, set in your desktop's keyboard shortcuts.</source>
        <translation>Gapirish tugmasi: %1 (ish stolining klavishlar birikmasi sozlamalarida belgilangan).</translation>
    </message>
    <message>
        <source>Change it there under "Hold to talk (Vesk Voice)".</source>
        <translation>Uni oʻsha yerda oʻzgartiring: «Bosib turib gapirish (Vesk Voice)» bandi.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut is not set up.</source>
        <translation>Gapirish tugmasi: ish stolidagi klavishlar birikmasi sozlanmagan.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: read from the keyboard itself.</source>
        <translation>Gapirish tugmasi: bevosita klaviaturadan oʻqiladi.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: the keyboard cannot be read.</source>
        <translation>Gapirish tugmasi: klaviaturani oʻqib boʻlmaydi.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's key bindings.</source>
        <translation>Gapirish tugmasi: ish stoli konfiguratsiyasidagi klavishlar birikmalari orqali.</translation>
    </message>
    <message>
        <source>Add these lines to your sway configuration and reload it:</source>
        <translation>Quyidagi qatorlarni sway konfiguratsiyasiga qoʻshing va konfiguratsiyani yangilang:</translation>
    </message>
    <message>
        <source>Add these lines to your Hyprland configuration:</source>
        <translation>Quyidagi qatorlarni Hyprland konfiguratsiyasiga qoʻshing:</translation>
    </message>
    <message>
        <source>Give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. Or let Vesk Voice read the keyboard (needs the input group).</source>
        <translation>Ish stoli sozlamalarida vesk-voice toggle buyrugʻiga klavishlar birikmasini biriktiring: birinchi bosish ovoz bilan yozishni boshlaydi, keyingisi uni yuboradi. Yoki Vesk Voice ilovasiga klaviaturani oʻqishga ruxsat bering (input guruhi kerak).</translation>
    </message>
</context>
<context>
    <name>HotkeyKind</name>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>Chap Ctrl + oʻng Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation>Oʻng Ctrl</translation>
    </message>
    <message>
        <source>Right Super</source>
        <translation>Oʻng Super</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Chap Ctrl</translation>
    </message>
</context>
<context>
    <name>HotkeyKindInText</name>
    <message>
        <source>Control</source>
        <translation>chap Ctrl</translation>
    </message>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>chap Ctrl + oʻng Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation>oʻng Ctrl</translation>
    </message>
    <message>
        <source>Right Super</source>
        <translation>oʻng Super</translation>
    </message>
</context>
<context>
    <name>LanguagesStep</name>
    <message>
        <source>Which languages do you speak?</source>
        <translation>Qaysi tillarda gapirasiz?</translation>
    </message>
    <message>
        <source>Pick every language you use, even if you mix them in one sentence. Vesk Voice keeps each word in the language it was said in.</source>
        <translation>Gapiradigan barcha tillaringizni belgilang, hatto ularni bir gapda aralashtirsangiz ham. Vesk Voice har bir soʻzni qaysi tilda aytilgan boʻlsa, oʻsha tilda qoldiradi.</translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>History</source>
        <translation>Tarix</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Sozlamalar</translation>
    </message>
</context>
<context>
    <name>MicrophoneStep</name>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Vesk Voice records only while you hold the key or press the floating button.</source>
        <translation>Vesk Voice faqat siz klavishni bosib turganingizda yoki suzuvchi tugmani bosganingizda yozib oladi.</translation>
    </message>
    <message>
        <source>Allow microphone</source>
        <translation>Mikrofonga ruxsat berish</translation>
    </message>
    <message>
        <source>Microphone access is off</source>
        <translation>Mikrofonga ruxsat oʻchirilgan</translation>
    </message>
    <message>
        <source>Turn on Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Microphone, then come back.</source>
        <translation>Tizimning maxfiylik va tovush sozlamalarida mikrofonga ruxsat bering, soʻng bu yerga qayting.</translation>
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Tovush sozlamalarini ochish</translation>
    </message>
    <message>
        <source>Microphone allowed</source>
        <translation>Mikrofonga ruxsat berilgan</translation>
    </message>
    <message>
        <source>Say something: the bar moves while the microphone hears you.</source>
        <translation>Biror narsa ayting: mikrofon sizni eshitayotganda chiziq harakatlanadi.</translation>
    </message>
    <message>
        <source>The microphone hears nothing. Check that it is switched on and not muted, or pick another one in Settings.</source>
        <translation>Mikrofon hech narsa eshitmayapti. U yoqilganini va ovozi oʻchirilmaganini tekshiring yoki sozlamalarda boshqasini tanlang.</translation>
    </message>
</context>
<context>
    <name>NewlineMode</name>
    <message>
        <source>Shift + Return (does not send)</source>
        <translation>Shift + Enter (yubormaydi)</translation>
    </message>
    <message>
        <source>Alt + Return</source>
        <translation>Alt + Enter</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>A space instead</source>
        <translation>Yangi qator oʻrniga boʻshliq</translation>
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Back</source>
        <translation>Orqaga</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Davom etish</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Yakunlash</translation>
    </message>
    <message>
        <source>Ctrl+Enter</source>
        <translation>Ctrl+Enter</translation>
    </message>
</context>
<context>
    <name>PermissionWatch</name>
    <message>
        <source>Microphone access denied. Enable it in System Settings &gt; Privacy &amp; Security &gt; Microphone.</source>
        <translation>Mikrofonga ruxsat berilmagan. Ruxsatni tizimning maxfiylik sozlamalarida bering.</translation>
    </message>
    <message>
        <source>Waiting for Accessibility permission. Add Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Accessibility.</source>
        <translation>Klaviaturaga ruxsat kutilmoqda. Gapirish tugmasi va matnni qoʻyish uchun X11 seansi kerak.</translation>
    </message>
</context>
<context>
    <name>PortalKeyPoster</name>
    <message>
        <source>The desktop offers no way to type into other windows: %1</source>
        <translation>Ish stoli boshqa oynalarga matn yozish imkonini bermaydi: %1</translation>
    </message>
    <message>
        <source>Typing into other windows was not allowed in the desktop's dialog.</source>
        <translation>Ish stoli soʻraganda boshqa oynalarga matn yozishga ruxsat berilmadi.</translation>
    </message>
    <message>
        <source>Waiting for the desktop to allow typing into other windows.</source>
        <translation>Ish stoli boshqa oynalarga matn yozishga ruxsat berishi kutilmoqda.</translation>
    </message>
</context>
<context>
    <name>PortalShortcuts</name>
    <message>
        <source>The desktop's shortcut service failed: %1</source>
        <translation>Ish stolining klavishlar birikmasi xizmatida xato: %1</translation>
    </message>
    <message>
        <source>The desktop did not open a shortcut session.</source>
        <translation>Ish stoli klavishlar birikmasi uchun seans ochmadi.</translation>
    </message>
    <message>
        <source>Hold to talk (Vesk Voice)</source>
        <translation>Bosib turib gapirish (Vesk Voice)</translation>
    </message>
    <message>
        <source>The shortcut was not set up in the desktop's dialog.</source>
        <translation>Klavishlar birikmasi ish stoli oynasida sozlanmadi.</translation>
    </message>
    <message>
        <source>The desktop could not set up the shortcut.</source>
        <translation>Ish stoli klavishlar birikmasini sozlay olmadi.</translation>
    </message>
    <message>
        <source>The desktop did not keep the shortcut.</source>
        <translation>Ish stoli klavishlar birikmasini saqlamadi.</translation>
    </message>
    <message>
        <source>The desktop closed the shortcut session.</source>
        <translation>Ish stoli klavishlar birikmasi seansini yopdi.</translation>
    </message>
</context>
<context>
    <name>RecordingSection</name>
    <message>
        <source>Recording</source>
        <translation>Yozib olish</translation>
    </message>
    <message>
        <source>A plain Return sends the message in a chat. Shift + Return only starts a new line.</source>
        <translation>Chatda oddiy Enter xabarni yuboradi. Shift + Enter faqat yangi qator boshlaydi.</translation>
    </message>
    <message>
        <source>Show the floating button</source>
        <translation>Suzuvchi tugmani koʻrsatish</translation>
    </message>
    <message>
        <source>Play sounds</source>
        <translation>Tovush signallarini berish</translation>
    </message>
    <message>
        <source>Hold to talk</source>
        <translation>Gapirish tugmasi</translation>
    </message>
    <message>
        <source>Hold for</source>
        <translation>Bosib turish vaqti</translation>
    </message>
    <message>
        <source>Paste (Cmd+V)</source>
        <translation>Bufer orqali (Ctrl+V)</translation>
    </message>
    <message>
        <source>Type characters</source>
        <translation>Harfma-harf terish</translation>
    </message>
    <message>
        <source>Insert with</source>
        <translation>Qoʻyish usuli</translation>
    </message>
    <message>
        <source>Line break</source>
        <translation>Yangi qator</translation>
    </message>
    <message>
        <source>Read the hold key from the keyboard (needs the input group)</source>
        <translation>Gapirish tugmasini bevosita klaviaturadan oʻqish (input guruhi kerak)</translation>
    </message>
    <message>
        <source>Your desktop shows no tray icons (on GNOME the AppIndicator extension adds them), so the floating button stays on screen.</source>
        <translation>Ish stolingizda bildirishnomalar maydoni yoʻq (GNOME muhitida uni AppIndicator kengaytmasi qoʻshadi), shuning uchun suzuvchi tugma ekranda qoladi.</translation>
    </message>
    <message>
        <source>Space between dictations</source>
        <translation>Ketma-ket matnlar orasiga boʻshliq qoʻyish</translation>
    </message>
    <message>
        <source>A dictation into the same window within a minute of the one before starts with a space, so that sentences do not run together.</source>
        <translation>Bir daqiqa ichida oʻsha oynaga qoʻyilgan keyingi matn boʻshliq bilan boshlanadi, shunda gaplar bir-biriga yopishib qolmaydi.</translation>
    </message>
    <message>
        <source>This desktop lets no app set the clipboard for another window, so text is typed, and only the characters of your keyboard layout arrive: ʻ, dashes, letters of other alphabets (Cyrillic on a Latin layout), Chinese characters and emoji are left out.</source>
        <translation>Bu ish stoli hech bir ilovaga boshqa oyna uchun buferni toʻldirishga ruxsat bermaydi, shuning uchun matn harfma-harf teriladi va faqat klaviatura tartibingizdagi belgilar yetib boradi: ʻ, tire, boshqa alifbolar harflari (lotin tartibida kirill harflari), xitoycha belgilar va emojilar tushib qoladi.</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Vesk Voice restarts to switch the language.</source>
        <translation>Tilni almashtirish uchun Vesk Voice qayta ishga tushadi.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Saqlash</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Sozlamalar</translation>
    </message>
    <message>
        <source>Open config file</source>
        <translation>Sozlamalar faylini ochish</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Saqlandi.</translation>
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation>Tizimga kirganda Vesk Voice ilovasini ishga tushirish</translation>
    </message>
    <message>
        <source>Save the changed settings before Vesk Voice restarts?</source>
        <translation>Vesk Voice qayta ishga tushishidan oldin oʻzgartirilgan sozlamalar saqlansinmi?</translation>
    </message>
    <message>
        <source>Settings that are not saved are lost when it restarts.</source>
        <translation>Saqlanmagan sozlamalar qayta ishga tushganda yoʻqoladi.</translation>
    </message>
</context>
<context>
    <name>StatusItem</name>
    <message>
        <source>Download</source>
        <translation>Yuklab olish</translation>
    </message>
    <message>
        <source>Cancel transcription</source>
        <translation>Matnga aylantirishni bekor qilish</translation>
    </message>
    <message>
        <source>Retry last recording</source>
        <translation>Oxirgi yozuvni qayta yuborish</translation>
    </message>
    <message>
        <source>Microphone: </source>
        <translation>Mikrofon: </translation>
    </message>
    <message>
        <source>Vesk Voice window...</source>
        <translation>Vesk Voice oynasi...</translation>
    </message>
    <message>
        <source>Setup guide...</source>
        <translation>Boshlangʻich sozlash...</translation>
    </message>
    <message>
        <source>Hide floating button</source>
        <translation>Suzuvchi tugmani yashirish</translation>
    </message>
    <message>
        <source>Show floating button</source>
        <translation>Suzuvchi tugmani koʻrsatish</translation>
    </message>
    <message>
        <source>Copy last: </source>
        <translation>Oxirgi matnni nusxalash: </translation>
    </message>
    <message>
        <source>Insert last again</source>
        <translation>Oxirgi matnni yana qoʻyish</translation>
    </message>
    <message>
        <source>Check for updates...</source>
        <translation>Yangilanishlarni tekshirish...</translation>
    </message>
    <message>
        <source>Open log</source>
        <translation>Jurnalni ochish</translation>
    </message>
    <message>
        <source>Quit Vesk Voice</source>
        <translation>Vesk Voice ilovasidan chiqish</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Tizimdagi standart mikrofon</translation>
    </message>
    <message>
        <source> — not connected, the system default is used</source>
        <translation> — ulanmagan, tizimdagi standart mikrofon ishlatiladi</translation>
    </message>
</context>
<context>
    <name>TryItStep</name>
    <message>
        <source>Try it</source>
        <translation>Sinab koʻring</translation>
    </message>
    <message>
        <source>Click in the box, hold the keys below, say a sentence and let go. The text appears where the cursor is — here now, and in any app later.</source>
        <translation>Maydonga bosing, quyidagi klavishlarni bosib turing, biror gap ayting va qoʻyib yuboring. Matn kursor turgan joyda paydo boʻladi — hozir shu yerda, keyin esa istalgan ilovada.</translation>
    </message>
    <message>
        <source>Hold to talk</source>
        <translation>Gapirish tugmasi</translation>
    </message>
    <message>
        <source>You can also click the floating button at the bottom of the screen. Everything you say is kept in History.</source>
        <translation>Ekran pastidagi suzuvchi tugmani bosish ham mumkin. Aytganlaringizning hammasi tarixda saqlanadi.</translation>
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation>Tizimga kirganda Vesk Voice ilovasini ishga tushirish</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>the update feed could not be read</source>
        <translation>yangilanishlar lentasini oʻqib boʻlmadi</translation>
    </message>
    <message>
        <source>Vesk Voice is up to date.</source>
        <translation>Sizda Vesk Voice ilovasining eng soʻnggi versiyasi oʻrnatilgan.</translation>
    </message>
    <message>
        <source>Vesk Voice %1 is available.</source>
        <translation>Vesk Voice %1 versiyasi chiqdi.</translation>
    </message>
    <message>
        <source>This copy of Vesk Voice is updated by your system's package manager.</source>
        <translation>Vesk Voice ilovasining bu nusxasi tizimning paket menejeri orqali yangilanadi.</translation>
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation>Yangilanishlarni tekshirib boʻlmadi: %1</translation>
    </message>
    <message>
        <source>This copy of Vesk Voice was built from its source code and does not update itself: to update it, build the newer sources the same way.</source>
        <translation>Vesk Voice ilovasining bu nusxasi manba kodidan yigʻilgan va oʻzi yangilanmaydi: yangilash uchun yangi manba kodini xuddi shu tarzda yigʻing.</translation>
    </message>
</context>
</TS>