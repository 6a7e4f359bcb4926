<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Accessibility</name>
    <message>
        <source>No X server: the hold-to-talk key and text insertion need an X11 session.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The X server lacks the XInput2 extension, so the hold-to-talk key cannot be watched.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The X server lacks the XTEST extension, so text cannot be inserted.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This Wayland desktop offers no virtual keyboard, so text cannot be inserted into its windows.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This Wayland session offers no X11 input: the hold-to-talk key and text insertion need an X11 session (or XWayland).</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Turned off by %1=none.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AccessibilityStep</name>
    <message>
        <source>Accessibility</source>
        <translation>Keyboard access</translation>
    </message>
    <message>
        <source>macOS asks for this so Vesk Voice can notice the hotkey in any app and type the text where your cursor is. It never saves or sends anything you type.</source>
        <translation>To notice the hotkey in any app and type the text where your cursor is, Vesk Voice needs the desktop to let it: an X11 session does, and in a Wayland session it depends on the desktop (see below). It never saves or sends anything you type.</translation>
    </message>
    <message>
        <source>Accessibility allowed</source>
        <translation>Keyboard access available</translation>
    </message>
    <message>
        <source>Press the button below. System Settings opens.</source>
        <translation>If you use Wayland, log out and pick an X11 (Xorg) session on the login screen.</translation>
    </message>
    <message>
        <source>Find Vesk Voice in the list and turn it on. If it is not there, press +, open Applications and choose Vesk Voice.</source>
        <translation>Start Vesk Voice in that session. The X server also needs the XInput2 and XTEST extensions, which standard X servers have.</translation>
    </message>
    <message>
        <source>Come back here. This screen updates by itself.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Open keyboard settings</translation>
    </message>
    <message>
        <source>Waiting for permission...</source>
        <translation>Waiting for keyboard access...</translation>
    </message>
    <message>
        <source>Log out, choose an X11 (Xorg) session on the login screen, and start Vesk Voice there.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Or stay in Wayland and give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. The text is kept in History to copy from there.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The hotkey cannot work in a Wayland session.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Vesk Voice notices the hotkey in any app and types the text where your cursor is through the X server's XInput2 and XTEST extensions. It never saves or sends anything you type.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Accessibility permission needed</source>
        <translation>Keyboard access needed</translation>
    </message>
    <message>
        <source>Hold %1 to talk</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Recording... (Esc to cancel)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Transcribing...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Something went wrong</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppLanguage</name>
    <message>
        <source>System</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppLanguagePicker</name>
    <message>
        <source>Interface language</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppShell</name>
    <message>
        <source>Add your Gemini API key in Settings.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppState</name>
    <message>
        <source>The settings could not be saved (%1). The next change tries again.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The history could not be saved (%1). The next change tries again.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AppWindows</name>
    <message>
        <source>This desktop gives Vesk Voice no way back to the app you were in, so the text was copied: paste it there.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AudioRecorder</name>
    <message>
        <source>The microphone could not be added.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Could not start the microphone. </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The chosen microphone is not available. Pick another one in Settings.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>System default</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Not connected</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>AudioSection</name>
    <message>
        <source>Audio</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cut long pauses before sending</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Keep audio files (debugging)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Microphone</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Keep of each pause</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>System default</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Send audio as</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>FLAC is lossless and about half the size of WAV; Ogg Vorbis is a seventh of it, enough for speech, and leaves soonest on a slow link.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Until it is back, the system default microphone records.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source> — not connected</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>EvdevKeyEventSource</name>
    <message>
        <source>You are in the input group, but this session started before: log out and back in.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Reading the keyboard needs the input group. Run: sudo usermod -aG input $USER, then log out and back in.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No keyboard found under %1.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>GeminiError</name>
    <message>
        <source>no answer within %1 seconds</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>a redirect, not followed</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>a redirect to %1, not followed</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no message</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the answer is larger than %1 MB</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the connection was closed before an answer came</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Gemini returned </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Could not read the Gemini response: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No API key. Add it in Settings, or set GEMINI_API_KEY.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Gemini returned no text.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Could not reach Gemini: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Gemini sent an answer that is not JSON: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Could not read the recording %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The model name "%1" cannot be used in a request address.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Not a usable Gemini address (check VESK_GEMINI_BASE_URL): </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The API key contains line breaks or other control characters. Enter it again in Settings.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The request was cancelled.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the answer lacks %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the upload was not given a usable address</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the uploaded file was not named</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>the connection was closed before the whole answer came</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>GeminiSection</name>
    <message>
        <source>Gemini</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>API key</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Model</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>smart (tidied up)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>verbatim (every word)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Transcription</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>names the model tends to mishear</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Known words</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Languages</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>model default</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>low (blocks long audio)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>high</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Thinking</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Prompt</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The mode and the word list above are added to this automatically.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Reload</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Load</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Drops filler words, resolves spoken corrections, formats numbers and dates.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Writes down exactly what was said.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Loading models...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Models available: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 (live)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A live model: the words appear beside the floating button while you speak. Past 10 minutes, or when the connection drops, the recording goes the usual way and the dictation is only slower.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>GeminiStep</name>
    <message>
        <source>Gemini API key</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Google Gemini turns your voice into text. You need your own free key — it takes about a minute.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open Google AI Studio and sign in with your Google account.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Press Create API key. If asked, create a project first.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Copy the key and paste it below.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open Google AI Studio</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>API key</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The free tier has daily limits, and Google may use free-tier requests to improve its products. Turning on billing in AI Studio removes both.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Checking...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Check key</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The key works. Model: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The key in the GEMINI_API_KEY environment variable is used, as none is stored.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>HUDView</name>
    <message>
        <source>Send it (or let the keys go)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel (Esc)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Click to record, or hold %1</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>HistoryRow</name>
    <message>
        <source>Copy</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Insert into the front app</source>
        <translation>Insert into the active app</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>History</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Search transcripts</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No transcripts yet</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold %1 and talk, or click the floating button.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Delete every transcript?</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This cannot be undone.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Delete all</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>HoldKeyPath</name>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, being set up.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>If your desktop asks which key to use, choose one and confirm.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut, which has no key yet.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Give "Hold to talk (Vesk Voice)" a key in your desktop's keyboard shortcut settings.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: %1, set in your desktop's keyboard shortcuts.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Change it there under "Hold to talk (Vesk Voice)".</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's shortcut is not set up.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: read from the keyboard itself.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: the keyboard cannot be read.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold-to-talk key: your desktop's key bindings.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add these lines to your sway configuration and reload it:</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add these lines to your Hyprland configuration:</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Give the command vesk-voice toggle a keyboard shortcut in your desktop's settings: one press starts a dictation, the next sends it. Or let Vesk Voice read the keyboard (needs the input group).</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>HotkeyKind</name>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>Left Ctrl + Right Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Right Super</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Control</source>
        <translation>Left Ctrl</translation>
    </message>
</context>
<context>
    <name>HotkeyKindInText</name>
    <message>
        <source>Control</source>
        <translation>Left Ctrl</translation>
    </message>
    <message>
        <source>Control + Right Ctrl</source>
        <translation>Left Ctrl + Right Ctrl</translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Right Super</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>LanguagesStep</name>
    <message>
        <source>Which languages do you speak?</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Pick every language you use, even if you mix them in one sentence. Vesk Voice keeps each word in the language it was said in.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>History</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>MicrophoneStep</name>
    <message>
        <source>Microphone</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Vesk Voice records only while you hold the key or press the floating button.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Allow microphone</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Microphone access is off</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Turn on Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Microphone, then come back.</source>
        <translation>Allow the microphone in your desktop's privacy and sound settings, then come back.</translation>
    </message>
    <message>
        <source>Open System Settings</source>
        <translation>Open sound settings</translation>
    </message>
    <message>
        <source>Microphone allowed</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Say something: the bar moves while the microphone hears you.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The microphone hears nothing. Check that it is switched on and not muted, or pick another one in Settings.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>NewlineMode</name>
    <message>
        <source>Shift + Return (does not send)</source>
        <translation>Shift + Enter (does not send)</translation>
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
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Back</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Finish</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Ctrl+Enter</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>PermissionWatch</name>
    <message>
        <source>Microphone access denied. Enable it in System Settings &gt; Privacy &amp; Security &gt; Microphone.</source>
        <translation>Microphone access denied. Allow it in your desktop's privacy settings.</translation>
    </message>
    <message>
        <source>Waiting for Accessibility permission. Add Vesk Voice in System Settings &gt; Privacy &amp; Security &gt; Accessibility.</source>
        <translation>Waiting for keyboard access. The hotkey and text insertion need an X11 session.</translation>
    </message>
</context>
<context>
    <name>PortalKeyPoster</name>
    <message>
        <source>The desktop offers no way to type into other windows: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Typing into other windows was not allowed in the desktop's dialog.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Waiting for the desktop to allow typing into other windows.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>PortalShortcuts</name>
    <message>
        <source>The desktop's shortcut service failed: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The desktop did not open a shortcut session.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold to talk (Vesk Voice)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The shortcut was not set up in the desktop's dialog.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The desktop could not set up the shortcut.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The desktop did not keep the shortcut.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The desktop closed the shortcut session.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>RecordingSection</name>
    <message>
        <source>Recording</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A plain Return sends the message in a chat. Shift + Return only starts a new line.</source>
        <translation>A plain Enter sends the message in a chat. Shift + Enter only starts a new line.</translation>
    </message>
    <message>
        <source>Show the floating button</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Play sounds</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold to talk</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold for</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Paste (Cmd+V)</source>
        <translation>Paste (Ctrl+V)</translation>
    </message>
    <message>
        <source>Type characters</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Insert with</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Line break</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Read the hold key from the keyboard (needs the input group)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Your desktop shows no tray icons (on GNOME the AppIndicator extension adds them), so the floating button stays on screen.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Space between dictations</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A dictation into the same window within a minute of the one before starts with a space, so that sentences do not run together.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This desktop lets no app set the clipboard for another window, so text is typed, and only the characters of your keyboard layout arrive: ʻ, dashes, letters of other alphabets (Cyrillic on a Latin layout), Chinese characters and emoji are left out.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Vesk Voice restarts to switch the language.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open config file</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Saved.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Save the changed settings before Vesk Voice restarts?</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Settings that are not saved are lost when it restarts.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>StatusItem</name>
    <message>
        <source>Download</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel transcription</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Retry last recording</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Microphone: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Vesk Voice window...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Setup guide...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hide floating button</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Show floating button</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Copy last: </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Insert last again</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Check for updates...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open log</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Quit Vesk Voice</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>System default</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source> — not connected, the system default is used</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>TryItStep</name>
    <message>
        <source>Try it</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Click in the box, hold the keys below, say a sentence and let go. The text appears where the cursor is — here now, and in any app later.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hold to talk</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>You can also click the floating button at the bottom of the screen. Everything you say is kept in History.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Start Vesk Voice at login</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>the update feed could not be read</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Vesk Voice is up to date.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Vesk Voice %1 is available.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This copy of Vesk Voice is updated by your system's package manager.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This copy of Vesk Voice was built from its source code and does not update itself: to update it, build the newer sources the same way.</source>
        <translation type="unfinished" />
    </message>
</context>
</TS>