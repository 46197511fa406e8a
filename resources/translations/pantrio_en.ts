<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="en_GB">
<context>
    <name>Pantrio</name>
    <message numerus="yes">
        <source>line %1: %n field(s) where the header has %2</source>
        <translation>
            <numerusform>line %1: %n field where the header has %2</numerusform>
            <numerusform>line %1: %n fields where the header has %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n blank row(s) will be skipped.</source>
        <translation>
            <numerusform>%n blank row will be skipped.</numerusform>
            <numerusform>%n blank rows will be skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>(%n blank row(s).)</source>
        <translation>
            <numerusform>(%n blank row.)</numerusform>
            <numerusform>(%n blank rows.)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Every item in %1 is already in the catalogue (%n skipped); nothing was added.</source>
        <translation>
            <numerusform>Every item in %1 is already in the catalogue (%n skipped); nothing was added.</numerusform>
            <numerusform>Every item in %1 is already in the catalogue (%n skipped); nothing was added.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Add %n item(s) from %1?</source>
        <translation>
            <numerusform>Add %n item from %1?</numerusform>
            <numerusform>Add %n items from %1?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n exact duplicate(s) of items already in the catalogue will be skipped.</source>
        <translation>
            <numerusform>%n exact duplicate of items already in the catalogue will be skipped.</numerusform>
            <numerusform>%n exact duplicates of items already in the catalogue will be skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Import %n Item(s)</source>
        <translation>
            <numerusform>Import %n Item</numerusform>
            <numerusform>Import %n Items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n item(s) added to the catalogue.</source>
        <translation>
            <numerusform>%n item added to the catalogue.</numerusform>
            <numerusform>%n items added to the catalogue.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n blank row(s) skipped.</source>
        <translation>
            <numerusform>%n blank row skipped.</numerusform>
            <numerusform>%n blank rows skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) written to %1.</source>
        <translation>
            <numerusform>%n line written to %1.</numerusform>
            <numerusform>%n lines written to %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Set %n aisle(s) from %1?</source>
        <translation>
            <numerusform>Set %n aisle from %1?</numerusform>
            <numerusform>Set %n aisles from %1?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The file names %n store(s).</source>
        <translation>
            <numerusform>The file names %n store.</numerusform>
            <numerusform>The file names %n stores.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new store(s) will be added: %1.</source>
        <translation>
            <numerusform>%n new store will be added: %1.</numerusform>
            <numerusform>%n new stores will be added: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n aisle(s) set for items in stores.</source>
        <translation>
            <numerusform>%n aisle set for items in stores.</numerusform>
            <numerusform>%n aisles set for items in stores.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new store(s) added.</source>
        <translation>
            <numerusform>%n new store added.</numerusform>
            <numerusform>%n new stores added.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete %n Row(s)</source>
        <translation>
            <numerusform>Delete %n Row</numerusform>
            <numerusform>Delete %n Rows</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Add %n Item(s)</source>
        <translation>
            <numerusform>Add %n Item</numerusform>
            <numerusform>Add %n Items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) added; %1 on the list.</source>
        <translation>
            <numerusform>%n line added; %1 on the list.</numerusform>
            <numerusform>%n lines added; %1 on the list.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s)</source>
        <translation>
            <numerusform>%n line</numerusform>
            <numerusform>%n lines</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The list, %n line(s), is in %1.

Send the file to your phone or copy it there, and open it in the phone's browser: it needs no network, and keeps your ticks.</source>
        <translation>
            <numerusform>The list, %n line, is in %1.

Send the file to your phone or copy it there, and open it in the phone's browser: it needs no network, and keeps your ticks.</numerusform>
            <numerusform>The list, %n lines, is in %1.

Send the file to your phone or copy it there, and open it in the phone's browser: it needs no network, and keeps your ticks.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The list, %n line(s) (%1 bytes), is too long for one QR code a phone can read from the screen.

Export the list as a page for the phone instead?</source>
        <translation>
            <numerusform>The list, %n line (%1 bytes), is too long for one QR code a phone can read from the screen.

Export the list as a page for the phone instead?</numerusform>
            <numerusform>The list, %n lines (%1 bytes), is too long for one QR code a phone can read from the screen.

Export the list as a page for the phone instead?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The list, %n line(s), is on the clipboard.</source>
        <translation>
            <numerusform>The list, %n line, is on the clipboard.</numerusform>
            <numerusform>The list, %n lines, is on the clipboard.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>This code holds the shopping list's %n line(s) as text. Scan it with the phone's camera.</source>
        <translation>
            <numerusform>This code holds the shopping list's %n line as text. Scan it with the phone's camera.</numerusform>
            <numerusform>This code holds the shopping list's %n lines as text. Scan it with the phone's camera.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Remove %n Ticked Line(s)</source>
        <translation>
            <numerusform>Remove %n Ticked Line</numerusform>
            <numerusform>Remove %n Ticked Lines</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n meal(s) added.</source>
        <translation>
            <numerusform>%n meal added.</numerusform>
            <numerusform>%n meals added.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n meal(s) were here already and were left as they are.</source>
        <translation>
            <numerusform>%n meal was here already and was left as it is.</numerusform>
            <numerusform>%n meals were here already and were left as they are.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n ingredient(s) added to %1.</source>
        <translation>
            <numerusform>%n ingredient added to %1.</numerusform>
            <numerusform>%n ingredients added to %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) skipped.</source>
        <translation>
            <numerusform>%n line skipped.</numerusform>
            <numerusform>%n lines skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new item(s) added to the catalogue.</source>
        <translation>
            <numerusform>%n new item added to the catalogue.</numerusform>
            <numerusform>%n new items added to the catalogue.</numerusform>
        </translation>
    </message>
</context>
</TS>
