<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>Halvo</name>
    <message>
        <source>Preferences…</source>
        <comment>Preferences menu item</comment>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>About Halvo</source>
        <comment>About menu item</comment>
        <translation>Über Halvo</translation>
    </message>
    <message>
        <source>Quit Halvo</source>
        <comment>Quit menu item</comment>
        <translation>Halvo beenden</translation>
    </message>
    <message>
        <source>Select at least one modifier key.</source>
        <comment>Empty shortcut validation</comment>
        <translation>Wähle mindestens eine Sondertaste.</translation>
    </message>
    <message>
        <source>Halvo Preferences</source>
        <comment>Preferences window title</comment>
        <translation>Halvo-Einstellungen</translation>
    </message>
    <message>
        <source>About Halvo</source>
        <comment>About window title</comment>
        <translation>Über Halvo</translation>
    </message>
    <message>
        <source>Keyboard-driven app switcher with a custom order.</source>
        <comment>About window description</comment>
        <translation>App-Umschalter für die Tastatur mit eigener Reihenfolge.</translation>
    </message>
    <message>
        <source>Version </source>
        <comment>About window version prefix</comment>
        <translation>Version </translation>
    </message>
    <message>
        <source>Show Minimap</source>
        <comment>Gesture: hold the modifiers</comment>
        <translation>Minikarte zeigen</translation>
    </message>
    <message>
        <source>Previous app</source>
        <comment>Gesture: Left arrow</comment>
        <translation>Vorherige App</translation>
    </message>
    <message>
        <source>Next app</source>
        <comment>Gesture: Right arrow</comment>
        <translation>Nächste App</translation>
    </message>
    <message>
        <source>Enter Full Screen</source>
        <comment>Gesture: Up arrow</comment>
        <translation>Vollbild einschalten</translation>
    </message>
    <message>
        <source>Exit Full Screen</source>
        <comment>Gesture: Down arrow</comment>
        <translation>Vollbild beenden</translation>
    </message>
    <message>
        <source>General</source>
        <comment>Preferences section title</comment>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <comment>Launch at login checkbox</comment>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Automatically launch Halvo when you log in.</source>
        <comment>Launch at login description</comment>
        <translation>Halvo automatisch starten, wenn du dich anmeldest.</translation>
    </message>
    <message>
        <source>Appearance</source>
        <comment>Preferences section title</comment>
        <translation>Erscheinungsbild</translation>
    </message>
    <message>
        <source>Theme</source>
        <comment>Theme picker label</comment>
        <translation>Design</translation>
    </message>
    <message>
        <source>Follow System</source>
        <comment>Theme option</comment>
        <translation>Wie System</translation>
    </message>
    <message>
        <source>Light</source>
        <comment>Theme option</comment>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Dark</source>
        <comment>Theme option</comment>
        <translation>Dunkel</translation>
    </message>
    <message>
        <source>Hotkeys</source>
        <comment>Preferences section title</comment>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Shortcut preview</source>
        <comment>Shortcut preview accessibility label</comment>
        <translation>Vorschau des Tastenkürzels</translation>
    </message>
    <message>
        <source>Restore Default</source>
        <comment>Restore default shortcut button</comment>
        <translation>Standard wiederherstellen</translation>
    </message>
    <message>
        <source>Permissions</source>
        <comment>Preferences section title</comment>
        <translation>Berechtigungen</translation>
    </message>
    <message>
        <source>Recheck</source>
        <comment>Recheck permissions button</comment>
        <translation>Erneut prüfen</translation>
    </message>
    <message>
        <source>Usage Tips</source>
        <comment>Usage tips disclosure title</comment>
        <translation>Tipps zur Bedienung</translation>
    </message>
    <message>
        <source>Hold your modifier combination to show the minimap. Release it to hide.</source>
        <comment>Usage tip: showing the minimap</comment>
        <translation>Halte deine Sondertasten gedrückt, um die Minikarte zu zeigen. Lass sie los, um sie auszublenden.</translation>
    </message>
    <message>
        <source>Hold Left or Right for 0.6 seconds to move all of the selected app’s windows to the screen where you started switching. Full-screen and fixed windows stay in place.</source>
        <comment>Usage tip: long press moves windows</comment>
        <translation>Halte Links oder Rechts 0,6 Sekunden lang, um alle Fenster der gewählten App auf den Bildschirm zu bewegen, auf dem du mit dem Umschalten begonnen hast. Vollbildfenster und feste Fenster bleiben, wo sie sind.</translation>
    </message>
    <message>
        <source>Drag icons in the overlay to set your custom order.</source>
        <comment>Usage tip: reordering</comment>
        <translation>Ziehe Symbole in der Übersicht, um deine eigene Reihenfolge festzulegen.</translation>
    </message>
    <message>
        <source>Could not update launch at login: </source>
        <comment>Launch at login error prefix</comment>
        <translation>Start beim Anmelden konnte nicht geändert werden: </translation>
    </message>
    <message>
        <source>Cancel Recording</source>
        <comment>Recorder button while recording</comment>
        <translation>Aufnahme abbrechen</translation>
    </message>
    <message>
        <source>Record Shortcut</source>
        <comment>Recorder button</comment>
        <translation>Tastenkürzel aufnehmen</translation>
    </message>
    <message>
        <source>Press modifier keys, then release to confirm. Escape cancels.</source>
        <comment>Recorder hint while recording</comment>
        <translation>Drücke Sondertasten und lass sie zum Bestätigen los. Escape bricht ab.</translation>
    </message>
    <message>
        <source>Record a modifier combination. Arrow keys stay fixed.</source>
        <comment>Recorder hint</comment>
        <translation>Nimm eine Kombination von Sondertasten auf. Die Pfeiltasten bleiben gleich.</translation>
    </message>
    <message>
        <source>Granted</source>
        <comment>Permission status</comment>
        <translation>Erteilt</translation>
    </message>
    <message>
        <source>Required</source>
        <comment>Permission status</comment>
        <translation>Erforderlich</translation>
    </message>
    <message>
        <source>Not Granted</source>
        <comment>Permission status</comment>
        <translation>Nicht erteilt</translation>
    </message>
    <message>
        <source>The shortcut could not be registered. Choose another modifier combination.</source>
        <comment>Shortcut registration failure</comment>
        <translation>Das Tastenkürzel konnte nicht registriert werden. Wähle eine andere Kombination von Sondertasten.</translation>
    </message>
    <message>
        <source>Active</source>
        <comment>Accessibility value of the highlighted app in the overlay</comment>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Show more apps on the left</source>
        <comment>Help text and accessibility label of the overlay button that pages left</comment>
        <translation>Weitere Apps links anzeigen</translation>
    </message>
    <message>
        <source>Show more apps on the right</source>
        <comment>Help text and accessibility label of the overlay button that pages right</comment>
        <translation>Weitere Apps rechts anzeigen</translation>
    </message>
    <message>
        <source>Window manager required</source>
        <comment>Missing window manager warning</comment>
        <translation>Fenstermanager erforderlich</translation>
    </message>
    <message>
        <source>Open Window Manager Help…</source>
        <comment>Open window manager help</comment>
        <translation>Hilfe zum Fenstermanager öffnen…</translation>
    </message>
    <message>
        <source>Open Keyboard Access Help…</source>
        <comment>Open keyboard access help</comment>
        <translation>Hilfe zum Tastaturzugriff öffnen…</translation>
    </message>
    <message>
        <source>Halvo — %1 + ←/→ to switch apps</source>
        <comment>Tray icon tooltip with modifier keys</comment>
        <translation>Halvo — %1 + ←/→ wechselt zwischen Apps</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <comment>Name of the Control key in shortcuts</comment>
        <translation>Strg</translation>
    </message>
    <message>
        <source>Alt</source>
        <comment>Name of the Alt key in shortcuts</comment>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Shift</source>
        <comment>Name of the Shift key in shortcuts</comment>
        <translation>Umschalt</translation>
    </message>
    <message>
        <source>Super</source>
        <comment>Name of the Super (Windows logo) key in shortcuts</comment>
        <translation>Super</translation>
    </message>
    <message>
        <source>Open Help…</source>
        <comment>Open permission help button</comment>
        <translation>Hilfe öffnen…</translation>
    </message>
    <message>
        <source>Window manager</source>
        <comment>Window manager check label</comment>
        <translation>Fenstermanager</translation>
    </message>
    <message>
        <source>Switching needs a running window manager with EWMH support, such as openbox, xfwm4, KWin, Mutter or i3. Start one and Halvo picks it up.</source>
        <comment>Window manager check explanation</comment>
        <translation>Zum Umschalten muss ein Fenstermanager mit EWMH-Unterstützung laufen, etwa openbox, xfwm4, KWin, Mutter oder i3. Starte einen, und Halvo erkennt ihn von selbst.</translation>
    </message>
    <message>
        <source>Keyboard access</source>
        <comment>Keyboard access check label</comment>
        <translation>Tastaturzugriff</translation>
    </message>
    <message>
        <source>Halvo follows the modifier keys through the X server&apos;s XKB and XInput2 extensions. Run it in an X11 session; under Wayland it cannot see them.</source>
        <comment>Keyboard access check explanation</comment>
        <translation>Halvo verfolgt die Sondertasten über die Erweiterungen XKB und XInput2 des X-Servers. Starte es in einer X11-Sitzung; unter Wayland sieht es sie nicht.</translation>
    </message>
    <message>
        <source>Up enters full screen for the focused window of the frontmost app; Down exits full screen.</source>
        <comment>Usage tip: full screen</comment>
        <translation>Oben schaltet das aktive Fenster der vordersten App in den Vollbildmodus, Unten beendet ihn.</translation>
    </message>
    <message>
        <source>Halvo needs a window manager with EWMH support to raise app windows, and keyboard access through XKB and XInput2 so modifier keys are detected while other apps are focused.</source>
        <comment>Usage tip: permissions</comment>
        <translation>Halvo braucht einen Fenstermanager mit EWMH-Unterstützung, um App-Fenster nach vorn zu holen, und Tastaturzugriff über XKB und XInput2, damit Sondertasten auch erkannt werden, während andere Apps aktiv sind.</translation>
    </message>
    <message>
        <source>Switching needs sway&apos;s IPC socket (named by SWAYSOCK) to answer. Start Halvo from inside sway, for example with &quot;exec halvo&quot; in sway&apos;s config.</source>
        <comment>Window manager check explanation on sway</comment>
        <translation>Zum Umschalten muss der IPC-Socket von sway (genannt in SWAYSOCK) antworten. Starte Halvo innerhalb von sway, etwa mit &quot;exec halvo&quot; in der Konfiguration von sway.</translation>
    </message>
    <message>
        <source>Halvo binds its shortcut as sway key bindings over sway&apos;s IPC and takes the keyboard while the overlay is open. A combination your sway config already binds is refused; choose another one.</source>
        <comment>Keyboard access check explanation on sway</comment>
        <translation>Halvo legt sein Tastenkürzel als Tastenbelegung von sway über dessen IPC an und übernimmt die Tastatur, solange das Overlay offen ist. Eine Kombination, die deine sway-Konfiguration schon belegt, wird abgelehnt; wähle eine andere.</translation>
    </message>
    <message>
        <source>Halvo needs sway&apos;s IPC to raise and move app windows and to bind its shortcut; it works in sway only, not in other Wayland compositors.</source>
        <comment>Usage tip: permissions on sway</comment>
        <translation>Halvo braucht die IPC von sway, um App-Fenster nach vorn zu holen und zu verschieben und sein Tastenkürzel anzulegen; es funktioniert nur in sway, nicht in anderen Wayland-Compositors.</translation>
    </message>
    <message>
        <source>Hold your modifier combination and press Left or Right to show the minimap. Release it to hide.</source>
        <comment>Usage tip: showing the minimap on sway</comment>
        <translation>Halte deine Sondertasten gedrückt und drücke Links oder Rechts, um die Minikarte zu zeigen. Lass sie los, um sie auszublenden.</translation>
    </message>
    <message>
        <source>Free software under the GNU GPL, version 3 or later.</source>
        <comment>About window licence line</comment>
        <translation>Freie Software unter der GNU GPL, Version 3 oder neuer.</translation>
    </message>
    <message>
        <source>Your window manager&apos;s own configuration binds this shortcut. Remove that binding and reload the configuration, or choose another modifier combination.</source>
        <comment>Shortcut bound in the window manager&apos;s configuration</comment>
        <translation>Die eigene Konfiguration deines Fenstermanagers belegt dieses Tastenkürzel. Entferne diese Belegung und lade die Konfiguration neu, oder wähle eine andere Kombination von Sondertasten.</translation>
    </message>
    <message>
        <source>Switching needs Halvo&apos;s GNOME Shell extension. Turn it on in the Extensions app; after installing Halvo, log out and back in first.</source>
        <comment>Window manager check explanation on GNOME</comment>
        <translation>Zum Wechseln braucht Halvo seine GNOME-Shell-Erweiterung. Schalte sie in der App „Erweiterungen“ ein; nach der Installation von Halvo melde dich zuerst ab und wieder an.</translation>
    </message>
    <message>
        <source>Halvo&apos;s GNOME Shell extension grabs the shortcut&apos;s arrows and holds the keyboard while the shortcut is down. A combination GNOME&apos;s own keyboard shortcuts use is refused; choose another one, or free it in GNOME&apos;s Keyboard settings.</source>
        <comment>Keyboard access check explanation on GNOME</comment>
        <translation>Halvos GNOME-Shell-Erweiterung belegt die Pfeiltasten des Tastenkürzels und hält die Tastatur, solange das Tastenkürzel gedrückt ist. Eine Kombination, die GNOMEs eigene Tastenkürzel verwenden, wird abgelehnt; wähle eine andere oder gib sie in GNOMEs Tastatur-Einstellungen frei.</translation>
    </message>
    <message>
        <source>Halvo needs its GNOME Shell extension to raise and move app windows and to hear its shortcut.</source>
        <comment>Usage tip: permissions on GNOME</comment>
        <translation>Halvo braucht seine GNOME-Shell-Erweiterung, um App-Fenster nach vorne zu holen und zu verschieben und um sein Tastenkürzel zu hören.</translation>
    </message>
    <message>
        <source>Switching needs Halvo&apos;s KWin script, which Halvo loads into KWin when it starts. Start Halvo from inside your Plasma session.</source>
        <comment>Window manager check explanation on KDE Plasma</comment>
        <translation>Zum Wechseln braucht Halvo sein KWin-Skript, das es beim Start in KWin lädt. Starte Halvo in deiner Plasma-Sitzung.</translation>
    </message>
    <message>
        <source>Halvo registers its shortcut with KDE&apos;s global shortcuts and takes the keyboard while the overlay is open. A combination another shortcut already uses is refused; choose another one.</source>
        <comment>Keyboard access check explanation on KDE Plasma</comment>
        <translation>Halvo meldet sein Tastenkürzel bei den globalen Kurzbefehlen von KDE an und übernimmt die Tastatur, solange die Übersicht offen ist. Eine Kombination, die ein anderer Kurzbefehl schon nutzt, wird abgelehnt; wähle eine andere.</translation>
    </message>
    <message>
        <source>Halvo needs its KWin script to raise and move app windows and KDE&apos;s global shortcuts for its shortcut.</source>
        <comment>Usage tip: permissions on KDE Plasma</comment>
        <translation>Halvo braucht sein KWin-Skript, um App-Fenster nach vorn zu holen und zu verschieben, und die globalen Kurzbefehle von KDE für sein Tastenkürzel.</translation>
    </message>
</context>
</TS>
