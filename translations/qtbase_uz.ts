<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="uz" sourcelanguage="en">
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ha</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Yoʻq</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Hammasiga h&amp;a</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>Hammasiga y&amp;oʻq</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Yordam</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Ochish</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Saqlash</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Hammasini saqlash</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Toʻxtatish</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Qoʻllash</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Yopish</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Tiklash</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Qayta urinish</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Standart qiymatlarni tiklash</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Bekor qilish</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Eʼtibor bermaslik</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Saqlamaslik</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Amalni bekor qilish</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>Amalni &amp;qaytarish</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Kesib olish</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Nusxalash</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Qoʻyish</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Oʻchirish</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Hammasini belgilash</translation>
    </message>
</context>
<context>
    <name>QWidgetTextControl</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Amalni bekor qilish</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>Amalni &amp;qaytarish</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Kesib olish</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Nusxalash</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Qoʻyish</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Oʻchirish</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Hammasini belgilash</translation>
    </message>
    <message>
        <source>Copy &amp;Link Location</source>
        <translation>&amp;Havola manzilini nusxalash</translation>
    </message>
</context>
<context>
    <name>QUnicodeControlCharacterMenu</name>
    <message>
        <source>Insert Unicode control character</source>
        <translation>Unicode boshqaruv belgisini qoʻyish</translation>
    </message>
</context>
</TS>
