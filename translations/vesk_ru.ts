<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>Accessibility</name>
    <message>
        <source>No X server: the hold-to-talk key and text insertion need an X11 session.</source>
        <translation>Нет X-сервера: для клавиши диктовки и вставки текста нужен сеанс X11.</translation>
    </message>
    <message>
        <source>The X server lacks the XInput2 extension, so the hold-to-talk key cannot be watched.</source>
        <translation>В X-сервере нет расширения XInput2, поэтому клавишу диктовки нельзя отслеживать.</translation>
    </message>
    <message>
        <source>The X server lacks the XTEST extension, so text cannot be inserted.</source>
        <translation>В X-сервере нет расширения XTEST, поэтому вставить текст нельзя.</translation>
    </message>
    <message>
        <source>This Wayland desktop offers no virtual keyboard, so text cannot be inserted into its windows.</source>
        <translation>Этот рабочий стол Wayland не даёт виртуальной клавиатуры, поэтому вставить текст в его окна нельзя.</translation>
    </message>
    <message>
        <source>This Wayland session offers no X11 input: the hold-to-talk key and text insertion need an X11 session (or XWayland).</source>
        <translation>В этом сеансе Wayland нет ввода X11: для клавиши диктовки и вставки текста нужен сеанс X11 (или XWayland).</translation>
    </message>
    <message>
        <source>Turned off by %1=none.</source>
        <translation>Отключено переменной %1=none.</translation>
    </message>
</context>
<context>
    <name>AccessibilityStep</name>
    <message>
        <source>Accessibility</source>
        <translation>Доступ к клавиатуре</translation>
    </message>
    <message>
        <source>macOS asks for this so Vesk Voice can notice the hotkey in any app and type the text where your cursor is. It never saves or sends anything you type.</source>
        <translation>Чтобы замечать клавишу диктовки в любом приложении и вставлять текст туда, где стоит курсор, Vesk Voice нужна возможность от рабочего стола: сеанс X11 её даёт, а в сеансе Wayland это зависит от рабочего стола (см. ниже). Vesk Voice ничего не сохраняет и никуда не отправляет из того, что вы печатаете.</translation>
    </message>
    <message>
        <source>Accessibility allowed</source>
        <translation>Доступ к клавиатуре есть</translation>
    </message>
    <message>
        <source>Press the button below. System Settings opens.</source>
        <translation>Если у вас Wayland, выйдите из системы и на экране входа выберите сеанс X11 (Xorg).</translation>
    </message>
    <message>
        <source>Find Vesk Voice in the list and turn it on. If it is not there, press +, open Applications and choose Vesk Voice.</source>
        <translation>Запустите Vesk Voice в этом сеансе. X-серверу также нужны расширения XInput2 и XTEST — в обычных X-серверах они есть.</translation>
    </message>
    <message>
        <source>Come back here. This screen updates by itself.</source>
        <translation>Вернитесь сюда. Эта страница обновится сама.</translation>
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Открыть настройки клавиатуры</translation>
    </message>
    <message>
        <source>Waiting for permission...</source>
        <translation>Ожидание доступа к клавиатуре...</translation>
    </message>
    <message>
        <source>Log out, choose an X11 (Xorg) session on the login screen, and start Vesk Voice there.</source>
        <translation>Выйдите из системы, на экране входа выберите сеанс X11 (Xorg) и запустите Vesk Voice в нём.</translation>
    </message>
    <message>
        <source>Or stay in Wayland and give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. The text is kept in History to copy from there.</source>
        <translation>Или останьтесь в Wayland и назначьте команде vesk-voice toggle сочетание клавиш в настройках рабочего стола: первое нажатие начинает диктовку, следующее отправляет её. Текст сохраняется в истории, откуда его можно скопировать.</translation>
    </message>
    <message>
        <source>The hotkey cannot work in a Wayland session.</source>
        <translation>В сеансе Wayland клавиша диктовки не работает.</translation>
    </message>
    <message>
        <source>Vesk Voice notices the hotkey in any app and types the text where your cursor is through the X server's XInput2 and XTEST extensions. It never saves or sends anything you type.</source>
        <translation>Vesk Voice замечает клавишу диктовки в любом приложении и вводит текст туда, где стоит курсор, через расширения XInput2 и XTEST X-сервера. Vesk Voice ничего не сохраняет и никуда не отправляет из того, что вы печатаете.</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Accessibility permission needed</source>
        <translation>Нужен доступ к клавиатуре</translation>
    </message>
    <message>
        <source>Hold %1 to talk</source>
        <translation>Удерживайте %1 и говорите</translation>
    </message>
    <message>
        <source>Recording... (Esc to cancel)</source>
        <translation>Запись... (Esc — отмена)</translation>
    </message>
    <message>
        <source>Transcribing...</source>
        <translation>Распознавание...</translation>
    </message>
    <message>
        <source>Something went wrong</source>
        <translation>Что-то пошло не так</translation>
    </message>
</context>
<context>
    <name>AppLanguage</name>
    <message>
        <source>System</source>
        <translation>Как в системе</translation>
    </message>
</context>
<context>
    <name>AppLanguagePicker</name>
    <message>
        <source>Interface language</source>
        <translation>Язык интерфейса</translation>
    </message>
</context>
<context>
    <name>AppShell</name>
    <message>
        <source>Add your Gemini API key in Settings.</source>
        <translation>Добавьте свой API-ключ Gemini в настройках.</translation>
    </message>
</context>
<context>
    <name>AppState</name>
    <message>
        <source>The settings could not be saved (%1). The next change tries again.</source>
        <translation>Не удалось сохранить настройки (%1). Попытка повторится при следующем изменении.</translation>
    </message>
    <message>
        <source>The history could not be saved (%1). The next change tries again.</source>
        <translation>Не удалось сохранить историю (%1). Попытка повторится при следующем изменении.</translation>
    </message>
</context>
<context>
    <name>AppWindows</name>
    <message>
        <source>This desktop gives Vesk Voice no way back to the app you were in, so the text was copied: paste it there.</source>
        <translation>Этот рабочий стол не даёт Vesk Voice вернуться в приложение, где вы работали, поэтому текст скопирован: вставьте его туда.</translation>
    </message>
</context>
<context>
    <name>AudioRecorder</name>
    <message>
        <source>The microphone could not be added.</source>
        <translation>Не удалось подключить микрофон.</translation>
    </message>
    <message>
        <source>Could not start the microphone. </source>
        <translation>Не удалось включить микрофон. </translation>
    </message>
    <message>
        <source>The chosen microphone is not available. Pick another one in Settings.</source>
        <translation>Выбранный микрофон недоступен. Выберите другой в настройках.</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>По умолчанию (системный)</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Не подключён</translation>
    </message>
</context>
<context>
    <name>AudioSection</name>
    <message>
        <source>Audio</source>
        <translation>Звук</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Обновить</translation>
    </message>
    <message>
        <source>Cut long pauses before sending</source>
        <translation>Вырезать длинные паузы перед отправкой</translation>
    </message>
    <message>
        <source>Keep audio files (debugging)</source>
        <translation>Сохранять аудиофайлы (для отладки)</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Микрофон</translation>
    </message>
    <message>
        <source>Keep of each pause</source>
        <translation>Оставлять от каждой паузы</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>По умолчанию (системный)</translation>
    </message>
    <message>
        <source> — not connected</source>
        <translation> — не подключён</translation>
    </message>
    <message>
        <source>Send audio as</source>
        <translation>Формат отправки аудио</translation>
    </message>
    <message>
        <source>FLAC is lossless and about half the size of WAV; Ogg Vorbis is a seventh of it, enough for speech, and leaves soonest on a slow link.</source>
        <translation>FLAC сжимает без потерь и примерно вдвое меньше WAV; Ogg Vorbis меньше WAV в семь раз, для речи этого достаточно, и на медленной связи он уходит быстрее всего.</translation>
    </message>
    <message>
        <source>Until it is back, the system default microphone records.</source>
        <translation>Пока он не вернётся, запись идёт с микрофона по умолчанию.</translation>
    </message>
</context>
<context>
    <name>EvdevKeyEventSource</name>
    <message>
        <source>You are in the input group, but this session started before: log out and back in.</source>
        <translation>Вы в группе input, но этот сеанс начался раньше: выйдите из системы и войдите снова.</translation>
    </message>
    <message>
        <source>Reading the keyboard needs the input group. Run: sudo usermod -aG input $USER, then log out and back in.</source>
        <translation>Для чтения клавиатуры нужна группа input. Выполните: sudo usermod -aG input $USER, затем выйдите из системы и войдите снова.</translation>
    </message>
    <message>
        <source>No keyboard found under %1.</source>
        <translation>В %1 клавиатура не найдена.</translation>
    </message>
</context>
<context>
    <name>GeminiError</name>
    <message>
        <source>no answer within %1 seconds</source>
        <translation>нет ответа за %1 с</translation>
    </message>
    <message>
        <source>a redirect, not followed</source>
        <translation>перенаправление, не выполнено</translation>
    </message>
    <message>
        <source>a redirect to %1, not followed</source>
        <translation>перенаправление на %1, не выполнено</translation>
    </message>
    <message>
        <source>no message</source>
        <translation>без сообщения</translation>
    </message>
    <message>
        <source>the answer is larger than %1 MB</source>
        <translation>ответ больше %1 МБ</translation>
    </message>
    <message>
        <source>the connection was closed before an answer came</source>
        <translation>соединение закрыто до получения ответа</translation>
    </message>
    <message>
        <source>Gemini returned </source>
        <translation>Gemini вернул код </translation>
    </message>
    <message>
        <source>Could not read the Gemini response: </source>
        <translation>Не удалось разобрать ответ Gemini: </translation>
    </message>
    <message>
        <source>No API key. Add it in Settings, or set GEMINI_API_KEY.</source>
        <translation>Нет API-ключа. Добавьте его в настройках или задайте GEMINI_API_KEY.</translation>
    </message>
    <message>
        <source>Gemini returned no text.</source>
        <translation>Gemini не вернул текст.</translation>
    </message>
    <message>
        <source>Could not reach Gemini: </source>
        <translation>Не удалось связаться с Gemini: </translation>
    </message>
    <message>
        <source>Gemini sent an answer that is not JSON: </source>
        <translation>Gemini прислал ответ не в формате JSON: </translation>
    </message>
    <message>
        <source>Could not read the recording %1: %2</source>
        <translation>Не удалось прочитать запись %1: %2</translation>
    </message>
    <message>
        <source>The model name "%1" cannot be used in a request address.</source>
        <translation>Имя модели «%1» нельзя использовать в адресе запроса.</translation>
    </message>
    <message>
        <source>Not a usable Gemini address (check VESK_GEMINI_BASE_URL): </source>
        <translation>Неверный адрес Gemini (проверьте VESK_GEMINI_BASE_URL): </translation>
    </message>
    <message>
        <source>The API key contains line breaks or other control characters. Enter it again in Settings.</source>
        <translation>API-ключ содержит переносы строк или другие управляющие символы. Введите его заново в настройках.</translation>
    </message>
    <message>
        <source>The request was cancelled.</source>
        <translation>Запрос отменён.</translation>
    </message>
    <message>
        <source>the answer lacks %1</source>
        <translation>в ответе нет %1</translation>
    </message>
    <message>
        <source>the upload was not given a usable address</source>
        <translation>для загрузки не выдан пригодный адрес</translation>
    </message>
    <message>
        <source>the uploaded file was not named</source>
        <translation>загруженному файлу не дано имя</translation>
    </message>
    <message>
        <source>the connection was closed before the whole answer came</source>
        <translation>соединение закрыто до получения всего ответа</translation>
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
        <translation>API-ключ</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Модель</translation>
    </message>
    <message>
        <source>smart (tidied up)</source>
        <translation>с редактурой</translation>
    </message>
    <message>
        <source>verbatim (every word)</source>
        <translation>дословно</translation>
    </message>
    <message>
        <source>Transcription</source>
        <translation>Распознавание</translation>
    </message>
    <message>
        <source>names the model tends to mishear</source>
        <translation>имена и названия, которые модель слышит неверно</translation>
    </message>
    <message>
        <source>Known words</source>
        <translation>Личный словарь</translation>
    </message>
    <message>
        <source>Languages</source>
        <translation>Языки</translation>
    </message>
    <message>
        <source>model default</source>
        <translation>как у модели</translation>
    </message>
    <message>
        <source>low (blocks long audio)</source>
        <translation>низкий (отклоняет длинные записи)</translation>
    </message>
    <message>
        <source>high</source>
        <translation>высокий</translation>
    </message>
    <message>
        <source>Thinking</source>
        <translation>Уровень размышлений</translation>
    </message>
    <message>
        <source>Prompt</source>
        <translation>Инструкция</translation>
    </message>
    <message>
        <source>The mode and the word list above are added to this automatically.</source>
        <translation>Режим и личный словарь выше добавляются к инструкции автоматически.</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Обновить</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Загрузить</translation>
    </message>
    <message>
        <source>Drops filler words, resolves spoken corrections, formats numbers and dates.</source>
        <translation>Убирает слова-паразиты, учитывает устные поправки, оформляет числа и даты.</translation>
    </message>
    <message>
        <source>Writes down exactly what was said.</source>
        <translation>Записывает дословно то, что было сказано.</translation>
    </message>
    <message>
        <source>Loading models...</source>
        <translation>Загрузка моделей...</translation>
    </message>
    <message>
        <source>Models available: </source>
        <translation>Доступно моделей: </translation>
    </message>
    <message>
        <source>%1 (live)</source>
        <translation>%1 (в реальном времени)</translation>
    </message>
    <message>
        <source>A live model: the words appear beside the floating button while you speak. Past 10 minutes, or when the connection drops, the recording goes the usual way and the dictation is only slower.</source>
        <translation>Модель в реальном времени: слова появляются рядом с плавающей кнопкой, пока вы говорите. Если диктовка длится дольше 10 минут или связь обрывается, запись отправляется обычным способом — диктовка лишь немного медленнее.</translation>
    </message>
</context>
<context>
    <name>GeminiStep</name>
    <message>
        <source>Gemini API key</source>
        <translation>API-ключ Gemini</translation>
    </message>
    <message>
        <source>Google Gemini turns your voice into text. You need your own free key — it takes about a minute.</source>
        <translation>Google Gemini превращает вашу речь в текст. Для этого нужен ваш собственный бесплатный ключ — получить его можно примерно за минуту.</translation>
    </message>
    <message>
        <source>Open Google AI Studio and sign in with your Google account.</source>
        <translation>Откройте Google AI Studio и войдите в свой аккаунт Google.</translation>
    </message>
    <message>
        <source>Press Create API key. If asked, create a project first.</source>
        <translation>Нажмите «Create API key». Если попросят, сначала создайте проект.</translation>
    </message>
    <message>
        <source>Copy the key and paste it below.</source>
        <translation>Скопируйте ключ и вставьте его ниже.</translation>
    </message>
    <message>
        <source>Open Google AI Studio</source>
        <translation>Открыть Google AI Studio</translation>
    </message>
    <message>
        <source>API key</source>
        <translation>API-ключ</translation>
    </message>
    <message>
        <source>The free tier has daily limits, and Google may use free-tier requests to improve its products. Turning on billing in AI Studio removes both.</source>
        <translation>У бесплатного тарифа есть дневные лимиты, и Google может использовать бесплатные запросы для улучшения своих продуктов. Подключение оплаты в AI Studio снимает и то, и другое.</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Проверка...</translation>
    </message>
    <message>
        <source>Check key</source>
        <translation>Проверить ключ</translation>
    </message>
    <message>
        <source>The key works. Model: </source>
        <translation>Ключ работает. Модель: </translation>
    </message>
    <message>
        <source>The key in the GEMINI_API_KEY environment variable is used, as none is stored.</source>
        <translation>Сохранённого ключа нет, поэтому используется ключ из переменной окружения GEMINI_API_KEY.</translation>
    </message>
</context>
<context>
    <name>HUDView</name>
    <message>
        <source>Send it (or let the keys go)</source>
        <translation>Отправить (или отпустить клавиши)</translation>
    </message>
    <message>
        <source>Cancel (Esc)</source>
        <translation>Отмена (Esc)</translation>
    </message>
    <message>
        <source>Click to record, or hold %1</source>
        <translation>Нажмите, чтобы записать, или удерживайте %1</translation>
    </message>
</context>
<context>
    <name>HistoryRow</name>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <source>Insert into the front app</source>
        <translation>Вставить в активное приложение</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>History</source>
        <translation>История</translation>
    </message>
    <message>
        <source>Search transcripts</source>
        <translation>Поиск по текстам</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Очистить</translation>
    </message>
    <message>
        <source>No transcripts yet</source>
        <translation>Текстов пока нет</translation>
    </message>
    <message>
        <source>Hold %1 and talk, or click the floating button.</source>
        <translation>Удерживайте %1 и говорите — или нажмите плавающую кнопку.</translation>
    </message>
    <message>
        <source>Delete every transcript?</source>
        <translation>Удалить все тексты?</translation>
    </message>
    <message>
        <source>This cannot be undone.</source>
        <translation>Это действие нельзя отменить.</translation>
    </message>
    <message>
        <source>Delete all</source>
        <translation>Удалить всё</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>HoldKeyPath</name>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, being set up.</source>
        <translation>Клавиша диктовки: сочетание клавиш рабочего стола, идёт настройка.</translation>
    </message>
    <message>
        <source>If your desktop asks which key to use, choose one and confirm.</source>
        <translation>Если рабочий стол спросит, какую клавишу использовать, выберите её и подтвердите.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, which has no key yet.</source>
        <translation>Клавиша диктовки: сочетание клавиш рабочего стола, клавиша ещё не назначена.</translation>
    </message>
    <message>
        <source>Give "Hold to talk (Vesk Voice)" a key in your desktop's keyboard shortcut settings.</source>
        <translation>Назначьте клавишу пункту «Диктовка удержанием (Vesk Voice)» в настройках сочетаний клавиш рабочего стола.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: %1, set in your desktop's keyboard shortcuts.</source>
        <translation>Клавиша диктовки: %1, задана в сочетаниях клавиш рабочего стола.</translation>
    </message>
    <message>
        <source>Change it there under "Hold to talk (Vesk Voice)".</source>
        <translation>Изменить её можно там же, в пункте «Диктовка удержанием (Vesk Voice)».</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut is not set up.</source>
        <translation>Клавиша диктовки: сочетание клавиш рабочего стола не настроено.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: read from the keyboard itself.</source>
        <translation>Клавиша диктовки: считывается прямо с клавиатуры.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: the keyboard cannot be read.</source>
        <translation>Клавиша диктовки: клавиатуру прочитать не удаётся.</translation>
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's key bindings.</source>
        <translation>Клавиша диктовки: через привязки клавиш в конфигурации рабочего стола.</translation>
    </message>
    <message>
        <source>Add these lines to your sway configuration and reload it:</source>
        <translation>Добавьте эти строки в конфигурацию sway и примените её заново:</translation>
    </message>
    <message>
        <source>Add these lines to your Hyprland configuration:</source>
        <translation>Добавьте эти строки в конфигурацию Hyprland:</translation>
    </message>
    <message>
        <source>Give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. Or let Vesk Voice read the keyboard (needs the input group).</source>
        <translation>Назначьте команде vesk-voice toggle сочетание клавиш в настройках рабочего стола: первое нажатие начинает диктовку, следующее отправляет её. Или разрешите Vesk Voice читать клавиатуру (нужна группа input).</translation>
    </message>
</context>
<context>
    <name>HotkeyKind</name>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>Левый Ctrl + правый Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation>Правый Ctrl</translation>
    </message>
    <message>
        <source>Right Super</source>
        <translation>Правый Super</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Левый Ctrl</translation>
    </message>
</context>
<context>
    <name>HotkeyKindInText</name>
    <message>
        <source>Control</source>
        <translation>левый Ctrl</translation>
    </message>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>левый Ctrl + правый Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation>правый Ctrl</translation>
    </message>
    <message>
        <source>Right Super</source>
        <translation>правый Super</translation>
    </message>
</context>
<context>
    <name>LanguagesStep</name>
    <message>
        <source>Which languages do you speak?</source>
        <translation>На каких языках вы говорите?</translation>
    </message>
    <message>
        <source>Pick every language you use, even if you mix them in one sentence. Vesk Voice keeps each word in the language it was said in.</source>
        <translation>Отметьте все языки, на которых говорите, даже если смешиваете их в одном предложении. Vesk Voice оставит каждое слово на том языке, на котором оно сказано.</translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>History</source>
        <translation>История</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
</context>
<context>
    <name>MicrophoneStep</name>
    <message>
        <source>Microphone</source>
        <translation>Микрофон</translation>
    </message>
    <message>
        <source>Vesk Voice records only while you hold the key or press the floating button.</source>
        <translation>Vesk Voice записывает, только когда вы удерживаете клавишу или нажимаете плавающую кнопку.</translation>
    </message>
    <message>
        <source>Allow microphone</source>
        <translation>Разрешить доступ к микрофону</translation>
    </message>
    <message>
        <source>Microphone access is off</source>
        <translation>Доступ к микрофону выключен</translation>
    </message>
    <message>
        <source>Turn on Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Microphone, then come back.</source>
        <translation>Разрешите доступ к микрофону в настройках конфиденциальности и звука системы, затем вернитесь сюда.</translation>
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Открыть настройки звука</translation>
    </message>
    <message>
        <source>Microphone allowed</source>
        <translation>Доступ к микрофону разрешён</translation>
    </message>
    <message>
        <source>Say something: the bar moves while the microphone hears you.</source>
        <translation>Скажите что-нибудь: полоса движется, пока микрофон вас слышит.</translation>
    </message>
    <message>
        <source>The microphone hears nothing. Check that it is switched on and not muted, or pick another one in Settings.</source>
        <translation>Микрофон ничего не слышит. Проверьте, что он включён и звук не выключен, или выберите другой в настройках.</translation>
    </message>
</context>
<context>
    <name>NewlineMode</name>
    <message>
        <source>Shift + Return (does not send)</source>
        <translation>Shift + Enter (не отправляет)</translation>
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
        <translation>Пробел вместо переноса строки</translation>
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Back</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Далее</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Готово</translation>
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
        <translation>Доступ к микрофону запрещён. Разрешите его в настройках конфиденциальности системы.</translation>
    </message>
    <message>
        <source>Waiting for Accessibility permission. Add Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Accessibility.</source>
        <translation>Ожидание доступа к клавиатуре. Для клавиши диктовки и вставки текста нужен сеанс X11.</translation>
    </message>
</context>
<context>
    <name>PortalKeyPoster</name>
    <message>
        <source>The desktop offers no way to type into other windows: %1</source>
        <translation>Рабочий стол не даёт возможности вводить текст в другие окна: %1</translation>
    </message>
    <message>
        <source>Typing into other windows was not allowed in the desktop's dialog.</source>
        <translation>Когда рабочий стол спросил, ввод текста в другие окна не был разрешён.</translation>
    </message>
    <message>
        <source>Waiting for the desktop to allow typing into other windows.</source>
        <translation>Ожидается разрешение рабочего стола на ввод текста в другие окна.</translation>
    </message>
</context>
<context>
    <name>PortalShortcuts</name>
    <message>
        <source>The desktop's shortcut service failed: %1</source>
        <translation>Ошибка службы сочетаний клавиш рабочего стола: %1</translation>
    </message>
    <message>
        <source>The desktop did not open a shortcut session.</source>
        <translation>Рабочий стол не открыл сеанс для сочетаний клавиш.</translation>
    </message>
    <message>
        <source>Hold to talk (Vesk Voice)</source>
        <translation>Диктовка удержанием (Vesk Voice)</translation>
    </message>
    <message>
        <source>The shortcut was not set up in the desktop's dialog.</source>
        <translation>Сочетание клавиш не было настроено в окне рабочего стола.</translation>
    </message>
    <message>
        <source>The desktop could not set up the shortcut.</source>
        <translation>Рабочий стол не смог настроить сочетание клавиш.</translation>
    </message>
    <message>
        <source>The desktop did not keep the shortcut.</source>
        <translation>Рабочий стол не сохранил сочетание клавиш.</translation>
    </message>
    <message>
        <source>The desktop closed the shortcut session.</source>
        <translation>Рабочий стол закрыл сеанс сочетаний клавиш.</translation>
    </message>
</context>
<context>
    <name>RecordingSection</name>
    <message>
        <source>Recording</source>
        <translation>Запись</translation>
    </message>
    <message>
        <source>A plain Return sends the message in a chat. Shift + Return only starts a new line.</source>
        <translation>В чате обычный Enter отправляет сообщение. Shift + Enter только начинает новую строку.</translation>
    </message>
    <message>
        <source>Show the floating button</source>
        <translation>Показывать плавающую кнопку</translation>
    </message>
    <message>
        <source>Play sounds</source>
        <translation>Воспроизводить звуки</translation>
    </message>
    <message>
        <source>Hold to talk</source>
        <translation>Клавиша диктовки</translation>
    </message>
    <message>
        <source>Hold for</source>
        <translation>Время удержания</translation>
    </message>
    <message>
        <source>Paste (Cmd+V)</source>
        <translation>Через буфер обмена (Ctrl+V)</translation>
    </message>
    <message>
        <source>Type characters</source>
        <translation>Посимвольный ввод</translation>
    </message>
    <message>
        <source>Insert with</source>
        <translation>Способ вставки</translation>
    </message>
    <message>
        <source>Line break</source>
        <translation>Перенос строки</translation>
    </message>
    <message>
        <source>Read the hold key from the keyboard (needs the input group)</source>
        <translation>Считывать клавишу диктовки прямо с клавиатуры (нужна группа input)</translation>
    </message>
    <message>
        <source>Your desktop shows no tray icons (on GNOME the AppIndicator extension adds them), so the floating button stays on screen.</source>
        <translation>Рабочий стол не показывает значки в области уведомлений (в GNOME их добавляет расширение AppIndicator), поэтому плавающая кнопка остаётся на экране.</translation>
    </message>
    <message>
        <source>Space between dictations</source>
        <translation>Ставить пробел между диктовками</translation>
    </message>
    <message>
        <source>A dictation into the same window within a minute of the one before starts with a space, so that sentences do not run together.</source>
        <translation>Текст, вставленный в то же окно в течение минуты после предыдущего, начинается с пробела, чтобы предложения не сливались.</translation>
    </message>
    <message>
        <source>This desktop lets no app set the clipboard for another window, so text is typed, and only the characters of your keyboard layout arrive: ʻ, dashes, letters of other alphabets (Cyrillic on a Latin layout), Chinese characters and emoji are left out.</source>
        <translation>Этот рабочий стол не позволяет приложениям заполнять буфер обмена для другого окна, поэтому текст вводится посимвольно, и доходят только символы вашей раскладки: ʻ, тире, буквы других алфавитов (кириллица на латинской раскладке), китайские иероглифы и эмодзи теряются.</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Vesk Voice restarts to switch the language.</source>
        <translation>Vesk Voice перезапустится, чтобы сменить язык.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Open config file</source>
        <translation>Открыть файл настроек</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Сохранено.</translation>
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation>Запускать Vesk Voice при входе в систему</translation>
    </message>
    <message>
        <source>Save the changed settings before Vesk Voice restarts?</source>
        <translation>Сохранить изменённые настройки перед перезапуском Vesk Voice?</translation>
    </message>
    <message>
        <source>Settings that are not saved are lost when it restarts.</source>
        <translation>Несохранённые настройки при перезапуске пропадут.</translation>
    </message>
</context>
<context>
    <name>StatusItem</name>
    <message>
        <source>Download</source>
        <translation>Скачать</translation>
    </message>
    <message>
        <source>Cancel transcription</source>
        <translation>Отменить распознавание</translation>
    </message>
    <message>
        <source>Retry last recording</source>
        <translation>Отправить последнюю запись ещё раз</translation>
    </message>
    <message>
        <source>Microphone: </source>
        <translation>Микрофон: </translation>
    </message>
    <message>
        <source>Vesk Voice window...</source>
        <translation>Окно Vesk Voice...</translation>
    </message>
    <message>
        <source>Setup guide...</source>
        <translation>Мастер настройки...</translation>
    </message>
    <message>
        <source>Hide floating button</source>
        <translation>Скрыть плавающую кнопку</translation>
    </message>
    <message>
        <source>Show floating button</source>
        <translation>Показать плавающую кнопку</translation>
    </message>
    <message>
        <source>Copy last: </source>
        <translation>Копировать последний текст: </translation>
    </message>
    <message>
        <source>Insert last again</source>
        <translation>Вставить последний текст ещё раз</translation>
    </message>
    <message>
        <source>Check for updates...</source>
        <translation>Проверить обновления...</translation>
    </message>
    <message>
        <source>Open log</source>
        <translation>Открыть журнал</translation>
    </message>
    <message>
        <source>Quit Vesk Voice</source>
        <translation>Выйти из Vesk Voice</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>По умолчанию (системный)</translation>
    </message>
    <message>
        <source> — not connected, the system default is used</source>
        <translation> — не подключён, используется микрофон по умолчанию</translation>
    </message>
</context>
<context>
    <name>TryItStep</name>
    <message>
        <source>Try it</source>
        <translation>Попробуйте</translation>
    </message>
    <message>
        <source>Click in the box, hold the keys below, say a sentence and let go. The text appears where the cursor is — here now, and in any app later.</source>
        <translation>Щёлкните в поле, удерживайте клавиши ниже, скажите фразу и отпустите их. Текст появится там, где стоит курсор, — сейчас здесь, а потом в любом приложении.</translation>
    </message>
    <message>
        <source>Hold to talk</source>
        <translation>Клавиша диктовки</translation>
    </message>
    <message>
        <source>You can also click the floating button at the bottom of the screen. Everything you say is kept in History.</source>
        <translation>Можно также нажать плавающую кнопку внизу экрана. Всё сказанное сохраняется в истории.</translation>
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation>Запускать Vesk Voice при входе в систему</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>the update feed could not be read</source>
        <translation>не удалось прочитать ленту обновлений</translation>
    </message>
    <message>
        <source>Vesk Voice is up to date.</source>
        <translation>У вас последняя версия Vesk Voice.</translation>
    </message>
    <message>
        <source>Vesk Voice %1 is available.</source>
        <translation>Доступна версия Vesk Voice %1.</translation>
    </message>
    <message>
        <source>This copy of Vesk Voice is updated by your system's package manager.</source>
        <translation>Эта копия Vesk Voice обновляется через системный менеджер пакетов.</translation>
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation>Не удалось проверить обновления: %1</translation>
    </message>
    <message>
        <source>This copy of Vesk Voice was built from its source code and does not update itself: to update it, build the newer sources the same way.</source>
        <translation>Эта копия Vesk Voice собрана из исходного кода и сама не обновляется: чтобы обновить её, соберите новые исходники тем же способом.</translation>
    </message>
</context>
</TS>