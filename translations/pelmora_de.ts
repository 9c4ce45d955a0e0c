<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppMetricRow</name>
    <message numerus="yes">
        <source>%Ln</source>
        <comment>number of processes beside an application&apos;s name</comment>
        <translation>
            <numerusform>%Ln</numerusform>
            <numerusform>%Ln</numerusform>
        </translation>
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
</TS>
