<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Autostart</name>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>cannot remove %1: %2</source>
        <translation>%1 kann nicht entfernt werden: %2</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Take two samples one second apart, print the machine&apos;s figures and the applications, and exit. Needs no desktop.</source>
        <translation>Nimmt zwei Messungen im Abstand von einer Sekunde, gibt die Werte des Rechners und die Anwendungen aus und beendet sich. Braucht keinen Desktop.</translation>
    </message>
    <message>
        <source>Show the panel as an ordinary window instead of a tray item.</source>
        <translation>Zeigt das Panel als gewöhnliches Fenster statt als Symbol in der Leiste.</translation>
    </message>
    <message>
        <source>Append a diagnostic trail of each refresh to &lt;path&gt; (PELMORA_METRICS_PROBE_PATH wins over it).</source>
        <translation>Hängt eine Diagnosespur jeder Aktualisierung an &lt;Pfad&gt; an (PELMORA_METRICS_PROBE_PATH hat Vorrang).</translation>
    </message>
    <message>
        <source>path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <source>Start with the desktop session (on) or no longer (off): writes or removes $XDG_CONFIG_HOME/autostart/pelmora.desktop, and exits.</source>
        <translation>Mit der Desktop-Sitzung starten (on) oder nicht mehr (off): schreibt oder entfernt $XDG_CONFIG_HOME/autostart/pelmora.desktop und beendet sich.</translation>
    </message>
    <message>
        <source>Shows the machine&apos;s CPU and memory use in the panel, with the running applications a click away.</source>
        <translation>Zeigt die CPU- und Speicherauslastung des Rechners in der Leiste, mit den laufenden Anwendungen einen Klick entfernt.</translation>
    </message>
    <message>
        <source>--autostart takes on or off, not &apos;%1&apos;.</source>
        <translation>--autostart erwartet on oder off, nicht „%1“.</translation>
    </message>
    <message>
        <source>Pelmora will start with the desktop session (%1).</source>
        <translation>Pelmora startet mit der Desktop-Sitzung (%1).</translation>
    </message>
    <message>
        <source>Pelmora will no longer start with the desktop session (%1 removed).</source>
        <translation>Pelmora startet nicht mehr mit der Desktop-Sitzung (%1 entfernt).</translation>
    </message>
    <message>
        <source>no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it inside a desktop session, or use &apos;pelmora --once&apos; to print the figures here.</source>
        <translation>keine Anzeige gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt).
Starten Sie es in einer Desktop-Sitzung, oder geben Sie die Werte mit „pelmora --once“ hier aus.</translation>
    </message>
    <message>
        <source>Pelmora was not set to start with the desktop session: there was nothing to remove (%1 does not exist).</source>
        <translation>Pelmora war nicht für den Start mit der Desktop-Sitzung eingerichtet: es gab nichts zu entfernen (%1 existiert nicht).</translation>
    </message>
    <message>
        <source>Qt&apos;s Wayland plugin is missing (Debian: qt6-wayland); running through XWayland instead.</source>
        <translation>Qts Wayland-Modul fehlt (Debian: qt6-wayland); Pelmora läuft stattdessen über XWayland.</translation>
    </message>
    <message>
        <source>Qt&apos;s Wayland plugin is missing (Debian: qt6-wayland), and there is no XWayland to fall back to.</source>
        <translation>Qts Wayland-Modul fehlt (Debian: qt6-wayland), und es gibt kein XWayland, auf das Pelmora ausweichen könnte.</translation>
    </message>
</context>
<context>
    <name>OnceReport</name>
    <message>
        <source>CPU %1   Memory %2 (%3 / %4)</source>
        <translation>CPU %1   Speicher %2 (%3 / %4)</translation>
    </message>
    <message>
        <source>No applications found.</source>
        <translation>Keine Anwendungen gefunden.</translation>
    </message>
    <message>
        <source>Application</source>
        <translation>Anwendung</translation>
    </message>
    <message>
        <source>Processes</source>
        <translation>Prozesse</translation>
    </message>
    <message>
        <source>%CPU</source>
        <translation>%CPU</translation>
    </message>
    <message>
        <source>Memory</source>
        <translation>Speicher</translation>
    </message>
</context>
<context>
    <name>PopoverHeightSetting</name>
    <message>
        <source>the panel&apos;s height is not stored: %1 cannot be read whole.</source>
        <translation>die Höhe des Panels wird nicht gespeichert: %1 kann nicht vollständig gelesen werden.</translation>
    </message>
    <message>
        <source>the panel&apos;s height is not stored: %1.</source>
        <translation>die Höhe des Panels wird nicht gespeichert: %1.</translation>
    </message>
    <message>
        <source>the panel&apos;s height is not stored: %1 does not read as settings, and no copy of it could be kept.</source>
        <translation>die Höhe des Panels wird nicht gespeichert: %1 ist als Einstellungsdatei nicht lesbar, und es konnte keine Kopie davon behalten werden.</translation>
    </message>
    <message>
        <source>%1 does not read as settings; it is kept as %2, and a new one is written.</source>
        <translation>%1 ist als Einstellungsdatei nicht lesbar; sie bleibt als %2 erhalten, und eine neue wird geschrieben.</translation>
    </message>
</context>
<context>
    <name>RuntimeProbe</name>
    <message>
        <source>the diagnostic trail is off: %1.</source>
        <translation>die Diagnosespur ist ausgeschaltet: %1.</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>%1 does not exist</source>
        <translation>%1 existiert nicht</translation>
    </message>
    <message>
        <source>a folder on the way to %1 belongs to another user</source>
        <translation>ein Ordner auf dem Weg zu %1 gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>a symbolic link on the way to %1 belongs to another user</source>
        <translation>eine symbolische Verknüpfung auf dem Weg zu %1 gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>%1 is a symbolic link</source>
        <translation>%1 ist eine symbolische Verknüpfung</translation>
    </message>
    <message>
        <source>%1 belongs to another user</source>
        <translation>%1 gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>%1 has other names (hard links)</source>
        <translation>%1 hat weitere Namen (harte Verknüpfungen)</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 ist keine gewöhnliche Datei</translation>
    </message>
</context>
<context>
    <name>TrayTexts</name>
    <message>
        <source>Open Pelmora</source>
        <translation>Pelmora öffnen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>CPU and memory: measuring…</source>
        <translation>CPU und Speicher: Messung läuft …</translation>
    </message>
    <message>
        <source>CPU %1 % · Memory %2 %</source>
        <extracomment>The tray item&apos;s tooltip; %1 and %2 are whole percentages.</extracomment>
        <translation>CPU %1 % · Speicher %2 %</translation>
    </message>
</context>
<context>
    <name>pelmora::AppActionMenuPresenter</name>
    <message>
        <source>Show all %1 processes</source>
        <translation>Alle Prozesse von %1 anzeigen</translation>
    </message>
    <message>
        <source>Quit %1</source>
        <translation>%1 beenden</translation>
    </message>
</context>
<context>
    <name>pelmora::AppListModel</name>
    <message>
        <source>Show actions for %1</source>
        <translation>Aktionen für %1 anzeigen</translation>
    </message>
    <message>
        <source>%1 CPU, %2 memory</source>
        <translation>%1 CPU, %2 Speicher</translation>
    </message>
</context>
<context>
    <name>pelmora::FilterBar</name>
    <message>
        <source>Filter</source>
        <translation>Filtern</translation>
    </message>
    <message>
        <source>Clear filter</source>
        <translation>Filter leeren</translation>
    </message>
</context>
<context>
    <name>pelmora::MetricColumnHeaderView</name>
    <message>
        <source>Apps</source>
        <translation>Anwendungen</translation>
    </message>
    <message>
        <source>%CPU</source>
        <translation>%CPU</translation>
    </message>
    <message>
        <source>Memory</source>
        <translation>Speicher</translation>
    </message>
</context>
<context>
    <name>pelmora::MetricsSectionView</name>
    <message>
        <source>Applications</source>
        <translation>Anwendungen</translation>
    </message>
    <message>
        <source>No process data</source>
        <translation>Keine Prozessdaten</translation>
    </message>
</context>
<context>
    <name>pelmora::PelmoraApp</name>
    <message>
        <source>no system tray found; showing the panel as a window.</source>
        <translation>keine Leiste für Statussymbole gefunden; das Panel wird als Fenster gezeigt.</translation>
    </message>
</context>
<context>
    <name>pelmora::PopoverHeader</name>
    <message>
        <source>System monitor</source>
        <translation>Systemmonitor</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>CPU</source>
        <translation>CPU</translation>
    </message>
    <message>
        <source>Memory</source>
        <translation>Speicher</translation>
    </message>
    <message>
        <source>Pelmora</source>
        <extracomment>The panel&apos;s title: the program&apos;s name, as the window title and the menu entry give it.</extracomment>
        <translation>Pelmora</translation>
    </message>
</context>
<context>
    <name>pelmora::PopoverView</name>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>pelmora::PopoverWindow</name>
    <message>
        <source>Pelmora</source>
        <translation>Pelmora</translation>
    </message>
    <message>
        <source>Pelmora panel</source>
        <translation>Pelmora-Panel</translation>
    </message>
</context>
<context>
    <name>pelmora::ProcessListHeader</name>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
</context>
<context>
    <name>pelmora::ProcessListView</name>
    <message>
        <source>Processes</source>
        <translation>Prozesse</translation>
    </message>
    <message>
        <source>No matching processes</source>
        <translation>Keine passenden Prozesse</translation>
    </message>
</context>
<context>
    <name>pelmora::QuitAnswerBar</name>
    <message>
        <source>Dismiss</source>
        <extracomment>Closes the line that says why an application could not be asked to quit.</extracomment>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>%1 runs as another user; Pelmora does not ask it to quit.</source>
        <translation>%1 läuft als anderer Benutzer; Pelmora fordert es nicht zum Beenden auf.</translation>
    </message>
    <message>
        <source>This desktop does not let Pelmora ask %1 to quit.</source>
        <translation>Diese Arbeitsumgebung lässt Pelmora %1 nicht zum Beenden auffordern.</translation>
    </message>
    <message>
        <source>The windows of %1 can only be closed by force.</source>
        <translation>Die Fenster von %1 lassen sich nur gewaltsam schließen.</translation>
    </message>
    <message>
        <source>%1 has no Quit command or window that Pelmora can reach.</source>
        <translation>%1 hat keinen Beenden-Befehl und kein Fenster, das Pelmora erreicht.</translation>
    </message>
    <message>
        <source>End %1…</source>
        <extracomment>Ends an application at once (SIGTERM), for one that cannot be asked to quit.</extracomment>
        <translation>%1 sofort beenden …</translation>
    </message>
    <message>
        <source>End %1? Unsaved work in it may be lost.</source>
        <translation>%1 sofort beenden? Ungesicherte Arbeit darin kann verloren gehen.</translation>
    </message>
    <message>
        <source>End</source>
        <extracomment>Confirms ending an application at once.</extracomment>
        <translation>Sofort beenden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>pelmora::ResizeHandle</name>
    <message>
        <source>Resize</source>
        <translation>Größe ändern</translation>
    </message>
</context>
<context>
    <name>pelmora::SingleInstance</name>
    <message>
        <source>already running in this session; opened its panel.</source>
        <translation>läuft in dieser Sitzung bereits; sein Panel wurde geöffnet.</translation>
    </message>
    <message>
        <source>already running in this session, but it did not answer (%1).</source>
        <translation>läuft in dieser Sitzung bereits, hat aber nicht geantwortet (%1).</translation>
    </message>
</context>
<context>
    <name>pelmora::SortHitArea</name>
    <message>
        <source>Sort by app</source>
        <translation>Nach Anwendung sortieren</translation>
    </message>
    <message>
        <source>Sort by CPU</source>
        <translation>Nach CPU sortieren</translation>
    </message>
    <message>
        <source>Sort by memory</source>
        <translation>Nach Speicher sortieren</translation>
    </message>
</context>
</TS>
