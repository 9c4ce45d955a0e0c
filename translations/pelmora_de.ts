<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
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
    <name>pelmora::PopoverHeader</name>
    <message>
        <source>tz9-Pelmora</source>
        <translation>tz9-Pelmora</translation>
    </message>
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
    <name>pelmora::ResizeHandle</name>
    <message>
        <source>Resize</source>
        <translation>Größe ändern</translation>
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
