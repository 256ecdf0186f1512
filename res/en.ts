<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<context>
    <name>Ferrywright</name>
    <message>
        <source>%1 COMMAND [options]; see --help</source>
        <translation>%1 COMMAND [options]; see --help</translation>
    </message>
    <message>
        <source>Merges the messages of SOURCE (all, or one conversation with --chat) into the local database NAME, which is created when it does not exist. Messages it holds already are not added twice. The backup is one transaction: a failure or Ctrl-C leaves the database as it was, and a new database that did not come about leaves no folder behind.</source>
        <translation>Merges the messages of SOURCE (all, or one conversation with --chat) into the local database NAME, which is created when it does not exist. Messages it holds already are not added twice. The backup is one transaction: a failure or Ctrl-C leaves the database as it was, and a new database that did not come about leaves no folder behind.</translation>
    </message>
    <message>
        <source>The local database's name.</source>
        <translation>The local database's name.</translation>
    </message>
    <message>
        <source>Usage: %1 COMMAND [options]</source>
        <translation>Usage: %1 COMMAND [options]</translation>
    </message>
    <message>
        <source>Reads, backs up, transfers and exports the SMS and MMS of Android phones, over the same data folder as the window (on Linux $XDG_DATA_HOME/FerryWright, by default ~/.local/share/FerryWright).</source>
        <translation>Reads, backs up, transfers and exports the SMS and MMS of Android phones, over the same data folder as the window (on Linux $XDG_DATA_HOME/FerryWright, by default ~/.local/share/FerryWright).</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>SOURCE is phone:SERIAL (a phone attached by USB, downloaded into its cache first), cache:IMEI (a downloaded phone's cache) or db:NAME (a local database).</source>
        <translation>SOURCE is phone:SERIAL (a phone attached by USB, downloaded into its cache first), cache:IMEI (a downloaded phone's cache) or db:NAME (a local database).</translation>
    </message>
    <message>
        <source>Progress goes to standard error. Exit codes: 0 success, 1 failure, 2 wrong usage, 130 interrupted (Ctrl-C cancels; nothing is left half-written).</source>
        <translation>Progress goes to standard error. Exit codes: 0 success, 1 failure, 2 wrong usage, 130 interrupted (Ctrl-C cancels; nothing is left half-written).</translation>
    </message>
    <message>
        <source>'%1 COMMAND --help' describes a command.</source>
        <translation>'%1 COMMAND --help' describes a command.</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>no command given</translation>
    </message>
    <message>
        <source>unknown command '%1'</source>
        <translation>unknown command '%1'</translation>
    </message>
    <message>
        <source>usage: %1</source>
        <translation>usage: %1</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>Show this help.</translation>
    </message>
    <message>
        <source>Usage: %1</source>
        <translation>Usage: %1</translation>
    </message>
    <message>
        <source>missing --%1</source>
        <translation>missing --%1</translation>
    </message>
    <message>
        <source>missing argument</source>
        <translation>missing argument</translation>
    </message>
    <message>
        <source>unexpected argument '%1'</source>
        <translation>unexpected argument '%1'</translation>
    </message>
    <message>
        <source>Where the messages come from: phone:SERIAL, cache:IMEI or db:NAME.</source>
        <translation>Where the messages come from: phone:SERIAL, cache:IMEI or db:NAME.</translation>
    </message>
    <message>
        <source>Mobile country code for the phone's numbers, when the phone reports none (or to override it), e.g. 310.</source>
        <translation>Mobile country code for the phone's numbers, when the phone reports none (or to override it), e.g. 310.</translation>
    </message>
    <message>
        <source>Print JSON instead of tab-separated lines.</source>
        <translation>Print JSON instead of tab-separated lines.</translation>
    </message>
    <message>
        <source>Only the conversation with this identifier (its number or address, as stored in the chat's chat_identifier).</source>
        <translation>Only the conversation with this identifier (its number or address, as stored in the chat's chat_identifier).</translation>
    </message>
    <message>
        <source>No phone cache '%1' (see: ferrywright-cli databases).</source>
        <translation>No phone cache '%1' (see: ferrywright-cli databases).</translation>
    </message>
    <message>
        <source>No local database '%1' (see: ferrywright-cli databases).</source>
        <translation>No local database '%1' (see: ferrywright-cli databases).</translation>
    </message>
    <message>
        <source>No conversation '%1' in %2.</source>
        <translation>No conversation '%1' in %2.</translation>
    </message>
    <message>
        <source>bad --wifi '%1': use HOST or HOST:PORT</source>
        <translation>bad --wifi '%1': use HOST or HOST:PORT</translation>
    </message>
    <message>
        <source>No Android phone is attached (see: ferrywright-cli devices).</source>
        <translation>No Android phone is attached (see: ferrywright-cli devices).</translation>
    </message>
    <message>
        <source>Several Android phones are attached (%1); choose one with --serial.</source>
        <translation>Several Android phones are attached (%1); choose one with --serial.</translation>
    </message>
    <message>
        <source>Unknown country code '%1'.</source>
        <translation>Unknown country code '%1'.</translation>
    </message>
    <message>
        <source>The phone did not report a known mobile country code; give one with --country MCC.</source>
        <translation>The phone did not report a known mobile country code; give one with --country MCC.</translation>
    </message>
    <message>
        <source>The operation ended without completing.</source>
        <translation>The operation ended without completing.</translation>
    </message>
    <message>
        <source>These attachments could not be read and show as placeholders: %1</source>
        <translation>These attachments could not be read and show as placeholders: %1</translation>
    </message>
    <message>
        <source>The database %1 is in use by another Ferrywright process. Try again when it has finished.</source>
        <translation>The database %1 is in use by another Ferrywright process. Try again when it has finished.</translation>
    </message>
    <message>
        <source>Cannot write the database folder %1: %2</source>
        <translation>Cannot write the database folder %1: %2</translation>
    </message>
    <message>
        <source>The database is locked: another program is using it. Try again when it has finished.</source>
        <translation>The database is locked: another program is using it. Try again when it has finished.</translation>
    </message>
    <message>
        <source>local databases and phone caches: name, messages, conversations</source>
        <translation>local databases and phone caches: name, messages, conversations</translation>
    </message>
    <message>
        <source>Lists the local databases (db:NAME) and the caches of downloaded phones (cache:IMEI) in the data folder, one per line: the SOURCE, its number of messages and of conversations, and its folder, separated by tabs.</source>
        <translation>Lists the local databases (db:NAME) and the caches of downloaded phones (cache:IMEI) in the data folder, one per line: the SOURCE, its number of messages and of conversations, and its folder, separated by tabs.</translation>
    </message>
    <message>
        <source>phones adb lists, with their state</source>
        <translation>phones adb lists, with their state</translation>
    </message>
    <message>
        <source>Lists the phones the adb tool (the first 'adb' on PATH) sees, one per line: the serial, a tab, and the state adb gives it (device: ready; unauthorized: allow USB debugging on the phone; offline).</source>
        <translation>Lists the phones the adb tool (the first 'adb' on PATH) sees, one per line: the serial, a tab, and the state adb gives it (device: ready; unauthorized: allow USB debugging on the phone; offline).</translation>
    </message>
    <message>
        <source>download a phone's messages into its cache</source>
        <translation>download a phone's messages into its cache</translation>
    </message>
    <message>
        <source>Connects a phone (by USB through adb: --serial, or the only phone attached; or over WiFi: --wifi HOST, HOST:PORT for a launcher on another port), installs and starts the agent when needed and downloads its messages into the phone's cache, as the window does when a phone appears. Only new records travel. Prints the cache as a SOURCE (cache:IMEI) and its folder.</source>
        <translation>Connects a phone (by USB through adb: --serial, or the only phone attached; or over WiFi: --wifi HOST, HOST:PORT for a launcher on another port), installs and starts the agent when needed and downloads its messages into the phone's cache, as the window does when a phone appears. Only new records travel. Prints the cache as a SOURCE (cache:IMEI) and its folder.</translation>
    </message>
    <message>
        <source>The phone's adb serial.</source>
        <translation>The phone's adb serial.</translation>
    </message>
    <message>
        <source>The phone's address on the network.</source>
        <translation>The phone's address on the network.</translation>
    </message>
    <message>
        <source>give --serial or --wifi, not both</source>
        <translation>give --serial or --wifi, not both</translation>
    </message>
    <message>
        <source>export a source's messages to files</source>
        <translation>export a source's messages to files</translation>
    </message>
    <message>
        <source>txt, doc, csv, pdf, html, ndjson or evidence.</source>
        <translation>txt, doc, csv, pdf, html, ndjson or evidence.</translation>
    </message>
    <message>
        <source>The file or folder to write.</source>
        <translation>The file or folder to write.</translation>
    </message>
    <message>
        <source>Replace a text or CSV file, or an evidence folder, that exists.</source>
        <translation>Replace a text or CSV file, or an evidence folder, that exists.</translation>
    </message>
    <message>
        <source>%1 exists; add --force to replace it</source>
        <translation>%1 exists; add --force to replace it</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>unknown --format '%1'</source>
        <translation>unknown --format '%1'</translation>
    </message>
    <message>
        <source>copy the attachments of a source's messages into a folder</source>
        <translation>copy the attachments of a source's messages into a folder</translation>
    </message>
    <message>
        <source>Copies the attachment files (pictures, audio, video, contact cards) of the messages of SOURCE (all, or one conversation with --chat) into the folder DIR, created when missing. Each copy carries its message's date; same-named files get numbered names. A failed or interrupted run removes what it created.</source>
        <translation>Copies the attachment files (pictures, audio, video, contact cards) of the messages of SOURCE (all, or one conversation with --chat) into the folder DIR, created when missing. Each copy carries its message's date; same-named files get numbered names. A failed or interrupted run removes what it created.</translation>
    </message>
    <message>
        <source>The folder to copy into.</source>
        <translation>The folder to copy into.</translation>
    </message>
    <message>
        <source>No file '%1'.</source>
        <translation>No file '%1'.</translation>
    </message>
    <message>
        <source>search words in every cache and local database</source>
        <translation>search words in every cache and local database</translation>
    </message>
    <message>
        <source>Finds the messages containing the words of TEXT in every phone cache and local database, or only in SOURCE with --from. Each result names its source, its conversation and the message.</source>
        <translation>Finds the messages containing the words of TEXT in every phone cache and local database, or only in SOURCE with --from. Each result names its source, its conversation and the message.</translation>
    </message>
    <message>
        <source>The words to find.</source>
        <translation>The words to find.</translation>
    </message>
    <message>
        <source>bad SOURCE '%1': use phone:SERIAL, cache:IMEI or db:NAME</source>
        <translation>bad SOURCE '%1': use phone:SERIAL, cache:IMEI or db:NAME</translation>
    </message>
    <message>
        <source>bad SOURCE '%1': the part after the colon is empty</source>
        <translation>bad SOURCE '%1': the part after the colon is empty</translation>
    </message>
    <message>
        <source>SOURCE</source>
        <translation>SOURCE</translation>
    </message>
    <message>
        <source>bad %1 '%2': not a plain folder name</source>
        <translation>bad %1 '%2': not a plain folder name</translation>
    </message>
    <message>
        <source>send a source's messages to another phone</source>
        <translation>send a source's messages to another phone</translation>
    </message>
    <message>
        <source>Sends the messages of SOURCE (all, or one conversation with --chat) to the phone attached by USB with serial S. The target phone is downloaded first, as the window does, so messages it holds already are not sent again, and once more afterwards to check that every message is on it: the last line says how many are, and the exit code is 1 when any is missing or the phone could not be checked (the first 1,000 missing are listed, also with --json). --country gives the mobile country code of a phone that reports none.</source>
        <translation>Sends the messages of SOURCE (all, or one conversation with --chat) to the phone attached by USB with serial S. The target phone is downloaded first, as the window does, so messages it holds already are not sent again, and once more afterwards to check that every message is on it: the last line says how many are, and the exit code is 1 when any is missing or the phone could not be checked (the first 1,000 missing are listed, also with --json). --country gives the mobile country code of a phone that reports none.</translation>
    </message>
    <message>
        <source>The target phone's adb serial.</source>
        <translation>The target phone's adb serial.</translation>
    </message>
    <message>
        <source>the source and the target are the same phone</source>
        <translation>the source and the target are the same phone</translation>
    </message>
    <message>
        <source>The source and the target are the same phone.</source>
        <translation>The source and the target are the same phone.</translation>
    </message>
    <message>
        <source>IDS_ROOT_DEVICE</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>IDS_ROOT_LOCALDB</source>
        <translation>Local Databases</translation>
    </message>
    <message>
        <source>IDS_UPDATING_LOCALDB_%1_MESSAGES</source>
        <translation>Updating local database %1 messages...</translation>
    </message>
    <message>
        <source>Local database %1 could not be updated: %2</source>
        <translation>Local database %1 could not be updated: %2</translation>
    </message>
    <message>
        <source>IDS_CHECKING_APK_INSTALL</source>
        <translation>Checking and installing Ferrywright SMS Sync now...</translation>
    </message>
    <message>
        <source>IDS_GET_ANDROID_DEVICE_INFO</source>
        <translation>Getting Android info...</translation>
    </message>
    <message>
        <source>IDS_ANDROID_LOADING_SMS</source>
        <translation>Loading Messages...</translation>
    </message>
    <message>
        <source>IDS_RESTORING_SMS_TO_ANDROID</source>
        <translation>Sending Messages to Device...</translation>
    </message>
    <message>
        <source>IDS_SUC_RESTORE_%1_SMS_TO_ANDROID</source>
        <translation>Successfully Transferred %1 Messages.</translation>
    </message>
    <message>
        <source>IDS_SKIP_%1_SMS_GROUP_OR_SYS_MESSAGES</source>
        <translation>%1 group messages or system messages can't be transferred.</translation>
    </message>
    <message>
        <source>IDS_WIFI_SOCK_WRONG_FOR_EXAMPLE</source>
        <translation>Input Error. Please input the correct WiFi connection info.</translation>
    </message>
    <message>
        <source>IDS_CONNECTING_ANDROID_DEVICE</source>
        <translation>Connecting to Android...</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT</source>
        <translation>Save Attachment</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_SUC</source>
        <translation>Attachment saved successfully.</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_FILE_ERROR</source>
        <translation>Failed to save attachment.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME</source>
        <translation>Select one Database or enter a new Database name</translation>
    </message>
    <message>
        <source>IDS_INVALID_LOCALDB_NAME</source>
        <translation>Invalid Local Database name(can't contain \ / : * ? " &lt; &gt; |).</translation>
    </message>
    <message>
        <source>A Local Database name cannot end with a dot or a blank.</source>
        <translation>A Local Database name cannot end with a dot or a blank.</translation>
    </message>
    <message>
        <source>IDS_BACKING_UP_SMS</source>
        <translation>Backing up Messages to Local Database...</translation>
    </message>
    <message>
        <source>IDS_SUC_BACKUP_%1_SMS</source>
        <translation>Successfully Backup %1 Messages to local Database.</translation>
    </message>
    <message>
        <source>IDS_SEL_EXPORT_MESSAGES_PATH</source>
        <translation>Please select Save Path for messages.</translation>
    </message>
    <message>
        <source>IDS_EXPORTING_MESSAGES_TO_FILE</source>
        <translation>Exporting Messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_MMS</source>
        <translation>Successfully exported %1 Messages.</translation>
    </message>
    <message>
        <source>IDS_PRINT_MMS</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES</source>
        <translation>Please select Save Path for media files.</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXTRACT_MEDIA_FILES</source>
        <translation>Extracting media files now...</translation>
    </message>
    <message>
        <source>IDS_EXTRACTING_MEDIA_FILES</source>
        <translation>Extracting MMS attachment now.Please wait...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXTRACT_%1_MEDIA_FILES_TO_%2</source>
        <translation>Successfully extacted %1 MMS attachment to %2.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_SEL_MMS</source>
        <translation>Confirm to delete the selected Messages?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_CHAT_MMS</source>
        <translation>Confirm to delete Messages with this contact?</translation>
    </message>
    <message>
        <source>IDS_DELETING_MMS</source>
        <translation>Deleting Messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_DELETE_%1_MESSAGES</source>
        <translation>Successfully Deleted %1 Messages.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUND_AND_MESSAGES</source>
        <translation>Can't find any Message.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0</source>
        <translation>Find no Message with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0</source>
        <translation>Find no contact with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_TITLE_SELECT_ONE_DEVICE_TO_TRANSFER</source>
        <translation>Please select a Device.</translation>
    </message>
    <message>
        <source>IDS_SEL_ONE_ANDROID_DEVICE</source>
        <translation>Please select an Android device:</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_ONE_DATASOURCE</source>
        <translation>Need to select a Device to continue.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_THIS_LOCALDB</source>
        <translation>Confirm to delete this Database?</translation>
    </message>
    <message>
        <source>IDS_DEL_LOCALDB_SUC</source>
        <translation>Successfully Deleted Database %0.</translation>
    </message>
    <message>
        <source>IDS_SUC_CLEAR_CACHE</source>
        <translation>Successfully cleared cache files.</translation>
    </message>
    <message>
        <source>IDS_ANDROID_%1_CANT_READ_MMC_NUMBER</source>
        <translation>Failed to load country code from your phone. Please click "OK" button to select a country code manually.</translation>
    </message>
    <message>
        <source>IDS_SEL_YOUR_PHONE_COUNTRY</source>
        <translation>Select your country code:</translation>
    </message>
    <message>
        <source>IDS_CANT_CONTINUE_WITHOUT_SEL_ONE_COUNTRY</source>
        <translation>Please select a cuntry code first to continue.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_SEL_COUNTRY_%1</source>
        <translation>Confirm to select %1?</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>选择要备份到哪个数据库</source>
        <translation>Select one Database for backup</translation>
    </message>
    <message>
        <source>选择或输入新的数据库名称:</source>
        <translation>Select current database to merge or enter a new database name:</translation>
    </message>
    <message>
        <source>选择现有的数据库会将短信息附加到里面,输入新的名字会创建新的本地数据库.</source>
        <translation>Selecting current Database will merge messages;entering new DB name will create a new Database.</translation>
    </message>
    <message>
        <source>SMS: %1/%2</source>
        <translation>Messages: %1/%2</translation>
    </message>
    <message>
        <source>Ferrywright Android SMS + MMS Transfer</source>
        <translation>Ferrywright Android SMS + MMS Transfer</translation>
    </message>
    <message>
        <source>invalid libsqlite_qt.</source>
        <translation>invalid libsqlite_qt.</translation>
    </message>
    <message>
        <source>An Error Occurred. &lt;br/&gt;&lt;br/&gt;%1&lt;br/&gt;&lt;br/&gt; Or you can contact</source>
        <translation>An Error Occurred. &lt;br/&gt;&lt;br/&gt;%1&lt;br/&gt;&lt;br/&gt; Or you can contact</translation>
    </message>
    <message>
        <source> for help.</source>
        <translation> for help.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Finishing, please wait...</source>
        <translation>Finishing, please wait...</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>All</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Progress:%1%</source>
        <translation>Progress:%1%</translation>
    </message>
    <message>
        <source>Messages: 0</source>
        <translation>Messages: 0</translation>
    </message>
    <message>
        <source>Messages: %1</source>
        <translation>Messages: %1</translation>
    </message>
    <message>
        <source>Messages: %1/%2</source>
        <translation>Messages: %1/%2</translation>
    </message>
    <message>
        <source>Receiving %1(%L2 KB)</source>
        <translation>Receiving %1(%L2 KB)</translation>
    </message>
    <message>
        <source>Sending %1, %L2/%L3 KB</source>
        <translation>Sending %1, %L2/%L3 KB</translation>
    </message>
    <message>
        <source>%1 messages reached the phone before the transfer stopped.</source>
        <translation>%1 messages reached the phone before the transfer stopped.</translation>
    </message>
    <message>
        <source>The selected Android device is no longer connected.</source>
        <translation>The selected Android device is no longer connected.</translation>
    </message>
    <message>
        <source>Select one Database for backup</source>
        <translation>Select one Database for backup</translation>
    </message>
    <message>
        <source>Select current database to merge or enter a new database name:</source>
        <translation>Select current database to merge or enter a new database name:</translation>
    </message>
    <message>
        <source>Selecting current Database will merge messages;entering new DB name will create a new Database.</source>
        <translation>Selecting current Database will merge messages;entering new DB name will create a new Database.</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Connect Android via WiFi</source>
        <translation>Connect Android via WiFi</translation>
    </message>
    <message>
        <source>Run Ferrywright SMS Sync on Android phone and click Connection button to get the Wifi connection info. Now input the info to the following Text Box. </source>
        <translation>Run Ferrywright SMS Sync on Android phone and click Connection button to get the Wifi connection info. Now input the info to the following Text Box. </translation>
    </message>
    <message>
        <source>If you haven't installed Ferrywright SMS Sync on Android phone, please go to the Market (Google Play) on your Android to search Ferrywright SMS Sync to download and install. </source>
        <translation>If you haven't installed Ferrywright SMS Sync on Android phone, please go to the Market (Google Play) on your Android to search Ferrywright SMS Sync to download and install. </translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation>Text Files(*.txt)</translation>
    </message>
    <message>
        <source>Doc Files(*.doc)</source>
        <translation>Doc Files(*.doc)</translation>
    </message>
    <message>
        <source>CSV Files(*.csv)</source>
        <translation>CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>PDF Files(*.pdf)</source>
        <translation>PDF Files(*.pdf)</translation>
    </message>
    <message>
        <source>HTML Files(*.html)</source>
        <translation>HTML Files(*.html)</translation>
    </message>
    <message>
        <source>NDJSON Files(*.ndjson)</source>
        <translation>NDJSON Files(*.ndjson)</translation>
    </message>
    <message>
        <source>A new version of %1 is available from %2. Would you like to download it now?</source>
        <translation>A new version of %1 is available from %2. Would you like to download it now?</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Backup Messages to Local Database</source>
        <translation>Backup Messages to Local Database</translation>
    </message>
    <message>
        <source>Transfer Android Messages to other Android</source>
        <translation>Transfer Android Messages to other Android</translation>
    </message>
    <message>
        <source>Transfer Messages from Database to Android</source>
        <translation>Transfer Messages from Database to Android</translation>
    </message>
    <message>
        <source>Extract MMS attachment</source>
        <translation>Extract MMS attachment</translation>
    </message>
    <message>
        <source>Export Messages to File</source>
        <translation>Export Messages to File</translation>
    </message>
    <message>
        <source>Print Messages</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>Delete Messages</source>
        <translation>Delete Messages</translation>
    </message>
    <message>
        <source>Open Database Folder</source>
        <translation>Open Database Folder</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Check for Update</translation>
    </message>
    <message>
        <source>Clear Cache files</source>
        <translation>Clear Cache files</translation>
    </message>
    <message>
        <source>Connect Android Phone via WiFi</source>
        <translation>Connect Android Phone via WiFi</translation>
    </message>
    <message>
        <source>Feedback and Support</source>
        <translation>Feedback and Support</translation>
    </message>
    <message>
        <source>View Cache Files</source>
        <translation>View Cache Files</translation>
    </message>
    <message>
        <source>Disconnect Device</source>
        <translation>Disconnect Device</translation>
    </message>
    <message>
        <source>Delete this Database</source>
        <translation>Delete this Database</translation>
    </message>
    <message>
        <source>Backup Messages with this contact to Local Database</source>
        <translation>Backup Messages with this contact to Local Database</translation>
    </message>
    <message>
        <source>Transfer Messages with this contact to other Android</source>
        <translation>Transfer Messages with this contact to other Android</translation>
    </message>
    <message>
        <source>Extract attachment from MMS with this contact</source>
        <translation>Extract attachment from MMS with this contact</translation>
    </message>
    <message>
        <source>Export Messages with this contact to File</source>
        <translation>Export Messages with this contact to File</translation>
    </message>
    <message>
        <source>Print Messages with this contact</source>
        <translation>Print Messages with this contact</translation>
    </message>
    <message>
        <source>Transfer Messages with this contact to Android</source>
        <translation>Transfer Messages with this contact to Android</translation>
    </message>
    <message>
        <source>Delete Messages with this contact</source>
        <translation>Delete Messages with this contact</translation>
    </message>
    <message>
        <source>Backup selected Messages to Local Database</source>
        <translation>Backup selected Messages to Local Database</translation>
    </message>
    <message>
        <source>Transfer selected Messages to other Android</source>
        <translation>Transfer selected Messages to other Android</translation>
    </message>
    <message>
        <source>Extract attachment from selected Messages</source>
        <translation>Extract attachment from selected Messages</translation>
    </message>
    <message>
        <source>Export selected Messages to File</source>
        <translation>Export selected Messages to File</translation>
    </message>
    <message>
        <source>Print selected Messages</source>
        <translation>Print selected Messages</translation>
    </message>
    <message>
        <source>Transfer selected Messages to Android</source>
        <translation>Transfer selected Messages to Android</translation>
    </message>
    <message>
        <source>Delete selected Messages</source>
        <translation>Delete selected Messages</translation>
    </message>
    <message>
        <source>Importing messages...</source>
        <translation>Importing messages...</translation>
    </message>
    <message>
        <source>%1 messages read, %2 of them new.</source>
        <translation>%1 messages read, %2 of them new.</translation>
    </message>
    <message>
        <source>Import SMS Backup &amp; Restore File...</source>
        <translation>Import SMS Backup &amp; Restore File...</translation>
    </message>
    <message>
        <source>Choose an SMS Backup &amp; Restore file</source>
        <translation>Choose an SMS Backup &amp; Restore file</translation>
    </message>
    <message>
        <source>SMS Backup &amp; Restore files (*.xml);;All files (*)</source>
        <translation>SMS Backup &amp; Restore files (*.xml);;All files (*)</translation>
    </message>
    <message>
        <source>Search Messages...</source>
        <translation>Search Messages...</translation>
    </message>
    <message>
        <source>Preparing the search of your messages...</source>
        <translation>Preparing the search of your messages...</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Search Messages</source>
        <translation>Search Messages</translation>
    </message>
    <message>
        <source>Words to find in every phone and local database</source>
        <translation>Words to find in every phone and local database</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>Conversation</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>No message found.</source>
        <translation>No message found.</translation>
    </message>
    <message>
        <source>The newest %1 messages found:</source>
        <translation>The newest %1 messages found:</translation>
    </message>
    <message>
        <source>Messages found: %1</source>
        <translation>Messages found: %1</translation>
    </message>
    <message>
        <source>Phone %1</source>
        <translation>Phone %1</translation>
    </message>
    <message>
        <source>Database %1</source>
        <translation>Database %1</translation>
    </message>
    <message>
        <source>Connect the phone to open this conversation.</source>
        <translation>Connect the phone to open this conversation.</translation>
    </message>
    <message>
        <source>TEXT holds no words.</source>
        <translation>TEXT holds no words.</translation>
    </message>
    <message>
        <source>Indexing messages: %1%</source>
        <translation>Indexing messages: %1%</translation>
    </message>
    <message>
        <source>back every attached phone up daily or weekly (systemd user timer)</source>
        <translation>back every attached phone up daily or weekly (systemd user timer)</translation>
    </message>
    <message>
        <source>install writes a systemd user timer and service (%1 and %2 in $XDG_CONFIG_HOME/systemd/user, by default ~/.config/systemd/user) that run 'ferrywright-cli backup --all-phones --to NAME' daily, or weekly on Mondays, at HH:MM (default 12:00), and enables the timer; a run missed while the computer was off comes at its next start. remove disables and removes them; status shows the schedule and the next run.</source>
        <translation>install writes a systemd user timer and service (%1 and %2 in $XDG_CONFIG_HOME/systemd/user, by default ~/.config/systemd/user) that run 'ferrywright-cli backup --all-phones --to NAME' daily, or weekly on Mondays, at HH:MM (default 12:00), and enables the timer; a run missed while the computer was off comes at its next start. remove disables and removes them; status shows the schedule and the next run.</translation>
    </message>
    <message>
        <source>install, remove or status.</source>
        <translation>install, remove or status.</translation>
    </message>
    <message>
        <source>Every day.</source>
        <translation>Every day.</translation>
    </message>
    <message>
        <source>Every Monday.</source>
        <translation>Every Monday.</translation>
    </message>
    <message>
        <source>The time of day, 24-hour (default 12:00).</source>
        <translation>The time of day, 24-hour (default 12:00).</translation>
    </message>
    <message>
        <source>One database NAME-MODEL for each phone.</source>
        <translation>One database NAME-MODEL for each phone.</translation>
    </message>
    <message>
        <source>unknown action '%1'</source>
        <translation>unknown action '%1'</translation>
    </message>
    <message>
        <source>give either --daily or --weekly</source>
        <translation>give either --daily or --weekly</translation>
    </message>
    <message>
        <source>bad time '%1': write HH:MM, e.g. 21:30</source>
        <translation>bad time '%1': write HH:MM, e.g. 21:30</translation>
    </message>
    <message>
        <source>Wrote %1 and %2.</source>
        <translation>Wrote %1 and %2.</translation>
    </message>
    <message>
        <source>The timer is enabled.</source>
        <translation>The timer is enabled.</translation>
    </message>
    <message>
        <source>systemd was not reached (%1); enable the timer with: %2</source>
        <translation>systemd was not reached (%1); enable the timer with: %2</translation>
    </message>
    <message>
        <source>No backup is scheduled.</source>
        <translation>No backup is scheduled.</translation>
    </message>
    <message>
        <source>The scheduled backup is removed.</source>
        <translation>The scheduled backup is removed.</translation>
    </message>
    <message>
        <source>Scheduled: %1 (%2)</source>
        <translation>Scheduled: %1 (%2)</translation>
    </message>
    <message>
        <source>Next run: %1 (from the timer file; systemd's list of timers is not available)</source>
        <translation>Next run: %1 (from the timer file; systemd's list of timers is not available)</translation>
    </message>
    <message>
        <source>back a source's messages, or every attached phone's, up into a local database</source>
        <translation>back a source's messages, or every attached phone's, up into a local database</translation>
    </message>
    <message>
        <source>With --all-phones every phone attached by USB is downloaded and backed up, all into NAME, or with --per-phone each into NAME-MODEL (NAME-MODEL-SERIAL for a second phone of the same model). No phone attached is no failure. A phone that fails does not stop the others; the exit code is then 1.</source>
        <translation>With --all-phones every phone attached by USB is downloaded and backed up, all into NAME, or with --per-phone each into NAME-MODEL (NAME-MODEL-SERIAL for a second phone of the same model). No phone attached is no failure. A phone that fails does not stop the others; the exit code is then 1.</translation>
    </message>
    <message>
        <source>Every phone attached by USB.</source>
        <translation>Every phone attached by USB.</translation>
    </message>
    <message>
        <source>With --all-phones: one database NAME-MODEL for each phone.</source>
        <translation>With --all-phones: one database NAME-MODEL for each phone.</translation>
    </message>
    <message>
        <source>give either --from or --all-phones</source>
        <translation>give either --from or --all-phones</translation>
    </message>
    <message>
        <source>--per-phone goes with --all-phones</source>
        <translation>--per-phone goes with --all-phones</translation>
    </message>
    <message>
        <source>No phone is attached; nothing to back up.</source>
        <translation>No phone is attached; nothing to back up.</translation>
    </message>
    <message>
        <source>Phone %1 (%2) into %3:</source>
        <translation>Phone %1 (%2) into %3:</translation>
    </message>
    <message>
        <source>phone %1 not backed up: %2</source>
        <translation>phone %1 not backed up: %2</translation>
    </message>
    <message>
        <source>%1 of %2 phones not backed up: %3</source>
        <translation>%1 of %2 phones not backed up: %3</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>No. %1, %2</source>
        <translation>No. %1, %2</translation>
    </message>
    <message>
        <source>files: %1</source>
        <translation>files: %1</translation>
    </message>
    <message>
        <source>Copying the attachments</source>
        <translation>Copying the attachments</translation>
    </message>
    <message>
        <source>Drawing the pages</source>
        <translation>Drawing the pages</translation>
    </message>
    <message>
        <source>Messages for evidence</source>
        <translation>Messages for evidence</translation>
    </message>
    <message>
        <source>local database %1</source>
        <translation>local database %1</translation>
    </message>
    <message>
        <source>phone with IMEI %1</source>
        <translation>phone with IMEI %1</translation>
    </message>
    <message>
        <source>phone %1, IMEI %2</source>
        <translation>phone %1, IMEI %2</translation>
    </message>
    <message>
        <source>Source: %1</source>
        <translation>Source: %1</translation>
    </message>
    <message>
        <source>Exported: %1, time zone %2</source>
        <translation>Exported: %1, time zone %2</translation>
    </message>
    <message>
        <source>Message count: %1</source>
        <translation>Message count: %1</translation>
    </message>
    <message>
        <source>First message: %1</source>
        <translation>First message: %1</translation>
    </message>
    <message>
        <source>Last message: %1</source>
        <translation>Last message: %1</translation>
    </message>
    <message>
        <source>(no conversation)</source>
        <translation>(no conversation)</translation>
    </message>
    <message>
        <source>Conversations: %1</source>
        <translation>Conversations: %1</translation>
    </message>
    <message>
        <source>Check the files of this folder with: sha256sum -c %1</source>
        <translation>Check the files of this folder with: sha256sum -c %1</translation>
    </message>
    <message>
        <source>Export for Evidence...</source>
        <translation>Export for Evidence...</translation>
    </message>
    <message>
        <source>Evidence Folders (*)</source>
        <translation>Evidence Folders (*)</translation>
    </message>
    <message>
        <source>The start of the period (%1) comes after its end (%2).</source>
        <translation>The start of the period (%1) comes after its end (%2).</translation>
    </message>
    <message>
        <source>'%1' is not a date; write it as 2024-03-01 or 2024-03-01T08:30</source>
        <translation>'%1' is not a date; write it as 2024-03-01 or 2024-03-01T08:30</translation>
    </message>
    <message>
        <source>From</source>
        <translation>From</translation>
    </message>
    <message>
        <source>First day to keep</source>
        <translation>First day to keep</translation>
    </message>
    <message>
        <source>To</source>
        <translation>To</translation>
    </message>
    <message>
        <source>Last day to keep</source>
        <translation>Last day to keep</translation>
    </message>
    <message>
        <source>Laying out the pages…</source>
        <translation>Laying out the pages…</translation>
    </message>
    <message>
        <source>Laying out page %1…</source>
        <translation>Laying out page %1…</translation>
    </message>
    <message>
        <source>The preview already has %1 pages and about %2 more are to come; laying them out takes a while and much memory.
Go on?</source>
        <translation>The preview already has %1 pages and about %2 more are to come; laying them out takes a while and much memory.
Go on?</translation>
    </message>
    <message>
        <source>No message falls in the chosen period.</source>
        <translation>No message falls in the chosen period.</translation>
    </message>
    <message>
        <source>Only messages from DATE on.</source>
        <translation>Only messages from DATE on.</translation>
    </message>
    <message>
        <source>Only messages up to DATE.</source>
        <translation>Only messages up to DATE.</translation>
    </message>
    <message>
        <source>No message falls between --since and --until.</source>
        <translation>No message falls between --since and --until.</translation>
    </message>
    <message>
        <source>Find a conversation</source>
        <translation>Find a conversation</translation>
    </message>
    <message>
        <source>Find the conversation</source>
        <translation>Find the conversation</translation>
    </message>
    <message>
        <source>Phones, databases and conversations</source>
        <translation>Phones, databases and conversations</translation>
    </message>
    <message>
        <source>Find in the messages</source>
        <translation>Find in the messages</translation>
    </message>
    <message>
        <source>Find the messages</source>
        <translation>Find the messages</translation>
    </message>
    <message>
        <source>Messages of the conversation</source>
        <translation>Messages of the conversation</translation>
    </message>
    <message>
        <source>Writes the messages of SOURCE (all, or one conversation with --chat) to PATH: a text file (txt, or doc under a Word name) or a CSV file, oldest message first (the suffix is added when PATH has none) that is replaced only with --force; or, for pdf and html, the folder PATH with one file per conversation; for evidence, the folder PATH with a numbered PDF, the attachments and the checksums of every file (sha256sum -c manifest.sha256 checks them), replacing a folder that is not empty only with --force. --since and --until keep the messages of a period, both days included (2024-03-01, or 2024-03-01T08:30 for a moment). A failed or interrupted export takes back what it wrote. Prints what was written.</source>
        <translation>Writes the messages of SOURCE (all, or one conversation with --chat) to PATH: a text file (txt, or doc under a Word name) or a CSV file, oldest message first (the suffix is added when PATH has none) that is replaced only with --force; or, for pdf and html, the folder PATH with one file per conversation; for evidence, the folder PATH with a numbered PDF, the attachments and the checksums of every file (sha256sum -c manifest.sha256 checks them), replacing a folder that is not empty only with --force. --since and --until keep the messages of a period, both days included (2024-03-01, or 2024-03-01T08:30 for a moment). A failed or interrupted export takes back what it wrote. Prints what was written.</translation>
    </message>
    <message>
        <source>Reading what the phone holds...</source>
        <translation>Reading what the phone holds...</translation>
    </message>
    <message>
        <source>Checking that the messages are on the phone...</source>
        <translation>Checking that the messages are on the phone...</translation>
    </message>
    <message>
        <source>Whether the messages are on the phone could not be checked: %1</source>
        <translation>Whether the messages are on the phone could not be checked: %1</translation>
    </message>
    <message>
        <source>%1 of %2 messages are on the phone.</source>
        <translation>%1 of %2 messages are on the phone.</translation>
    </message>
    <message>
        <source>%1 messages did not arrive.</source>
        <translation>%1 messages did not arrive.</translation>
    </message>
    <message>
        <source>(attachments: %1)</source>
        <translation>(attachments: %1)</translation>
    </message>
    <message>
        <source>%1 to %2: %3</source>
        <translation>%1 to %2: %3</translation>
    </message>
    <message>
        <source>%1 from %2: %3</source>
        <translation>%1 from %2: %3</translation>
    </message>
    <message>
        <source>missing: %1</source>
        <translation>missing: %1</translation>
    </message>
    <message>
        <source>missing: %1 more</source>
        <translation>missing: %1 more</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>Could not read %1: %2</source>
        <translation>Could not read %1: %2</translation>
    </message>
    <message>
        <source>%1 is not an iPhone backup folder: it has no %2.</source>
        <translation>%1 is not an iPhone backup folder: it has no %2.</translation>
    </message>
    <message>
        <source>The iPhone backup in %1 is encrypted. Make an unencrypted backup of the iPhone (turn off &quot;Encrypt local backup&quot;) and import that one.</source>
        <translation>The iPhone backup in %1 is encrypted. Make an unencrypted backup of the iPhone (turn off &quot;Encrypt local backup&quot;) and import that one.</translation>
    </message>
    <message>
        <source>%1 is not an iPhone backup folder: its %2 lists no files.</source>
        <translation>%1 is not an iPhone backup folder: its %2 lists no files.</translation>
    </message>
    <message>
        <source>The iPhone backup in %1 holds no messages (it has no Library/SMS/sms.db).</source>
        <translation>The iPhone backup in %1 holds no messages (it has no Library/SMS/sms.db).</translation>
    </message>
    <message>
        <source>The iPhone backup in %1 is incomplete: %2 is missing.</source>
        <translation>The iPhone backup in %1 is incomplete: %2 is missing.</translation>
    </message>
    <message>
        <source>The message database of this iPhone backup is not one this program can read: it has no &quot;%1&quot;.</source>
        <translation>The message database of this iPhone backup is not one this program can read: it has no &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The message database of this iPhone backup could not be read (%1).</source>
        <translation>The message database of this iPhone backup could not be read (%1).</translation>
    </message>
    <message>
        <source>The message database of this iPhone backup is damaged (%1).</source>
        <translation>The message database of this iPhone backup is damaged (%1).</translation>
    </message>
    <message>
        <source>%1 reactions, group events and unsent messages skipped.</source>
        <translation>%1 reactions, group events and unsent messages skipped.</translation>
    </message>
    <message>
        <source>%1 edits and effects left out (the messages keep their last text).</source>
        <translation>%1 edits and effects left out (the messages keep their last text).</translation>
    </message>
    <message>
        <source>%1 attachments were not in the backup.</source>
        <translation>%1 attachments were not in the backup.</translation>
    </message>
    <message>
        <source>%1 is a folder but not an iPhone backup: it has no Manifest.db.</source>
        <translation>%1 is a folder but not an iPhone backup: it has no Manifest.db.</translation>
    </message>
    <message>
        <source>No file or folder &apos;%1&apos;.</source>
        <translation>No file or folder &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>%1 is neither an SMS Backup &amp; Restore XML file, an iPhone backup folder nor an SMS Import/Export archive.</source>
        <translation>%1 is neither an SMS Backup &amp; Restore XML file, an iPhone backup folder nor an SMS Import/Export archive.</translation>
    </message>
    <message>
        <source>Unknown kind &apos;%1&apos;: say one of %2.</source>
        <translation>Unknown kind &apos;%1&apos;: say one of %2.</translation>
    </message>
    <message>
        <source>import an SMS Backup &amp; Restore file, an iPhone backup or an SMS Import/Export archive into a local database</source>
        <translation>import an SMS Backup &amp; Restore file, an iPhone backup or an SMS Import/Export archive into a local database</translation>
    </message>
    <message>
        <source>Imports the messages of PATH into the local database NAME (created when it does not exist). PATH is an XML file written by the SMS Backup &amp; Restore app, a computer&apos;s unencrypted backup folder of an iPhone, or a ZIP archive of the SMS Import/Export app; its kind is recognised from what it holds, or forced with --kind. --country gives the mobile country code for national numbers. Messages the database holds already are not added twice; a malformed input or Ctrl-C commits nothing.</source>
        <translation>Imports the messages of PATH into the local database NAME (created when it does not exist). PATH is an XML file written by the SMS Backup &amp; Restore app, a computer&apos;s unencrypted backup folder of an iPhone, or a ZIP archive of the SMS Import/Export app; its kind is recognised from what it holds, or forced with --kind. --country gives the mobile country code for national numbers. Messages the database holds already are not added twice; a malformed input or Ctrl-C commits nothing.</translation>
    </message>
    <message>
        <source>The file or backup folder to import.</source>
        <translation>The file or backup folder to import.</translation>
    </message>
    <message>
        <source>What PATH is: xml, iphone or zip.</source>
        <translation>What PATH is: xml, iphone or zip.</translation>
    </message>
    <message>
        <source>Choose the folder of an iPhone backup</source>
        <translation>Choose the folder of an iPhone backup</translation>
    </message>
    <message>
        <source>Import iPhone Backup...</source>
        <translation>Import iPhone Backup...</translation>
    </message>
    <message>
        <source>%1 is no SMS Import/Export archive: it holds no %2.</source>
        <translation>%1 is no SMS Import/Export archive: it holds no %2.</translation>
    </message>
    <message>
        <source>not a JSON object (%1)</source>
        <translation>not a JSON object (%1)</translation>
    </message>
    <message>
        <source>the message has no valid date</source>
        <translation>the message has no valid date</translation>
    </message>
    <message>
        <source>the part file %1 is not in the archive</source>
        <translation>the part file %1 is not in the archive</translation>
    </message>
    <message>
        <source>%1, line %2: %3.</source>
        <translation>%1, line %2: %3.</translation>
    </message>
    <message>
        <source>Unknown kind of import.</source>
        <translation>Unknown kind of import.</translation>
    </message>
    <message>
        <source>it ends before its table of contents does</source>
        <translation>it ends before its table of contents does</translation>
    </message>
    <message>
        <source>it is too short to be a ZIP archive</source>
        <translation>it is too short to be a ZIP archive</translation>
    </message>
    <message>
        <source>it has no ZIP table of contents</source>
        <translation>it has no ZIP table of contents</translation>
    </message>
    <message>
        <source>ZIP64 archives are not supported</source>
        <translation>ZIP64 archives are not supported</translation>
    </message>
    <message>
        <source>its table of contents is too large</source>
        <translation>its table of contents is too large</translation>
    </message>
    <message>
        <source>entry %1 of its table of contents is damaged</source>
        <translation>entry %1 of its table of contents is damaged</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2.</source>
        <translation>%1 cannot be read: %2.</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2 (%3).</source>
        <translation>%1 cannot be read: %2 (%3).</translation>
    </message>
    <message>
        <source>an entry is encrypted</source>
        <translation>an entry is encrypted</translation>
    </message>
    <message>
        <source>an entry is compressed in a way this program does not read</source>
        <translation>an entry is compressed in a way this program does not read</translation>
    </message>
    <message>
        <source>an entry&apos;s header is damaged</source>
        <translation>an entry&apos;s header is damaged</translation>
    </message>
    <message>
        <source>an entry runs past the end of the archive</source>
        <translation>an entry runs past the end of the archive</translation>
    </message>
    <message>
        <source>the decompressor could not start</source>
        <translation>the decompressor could not start</translation>
    </message>
    <message>
        <source>the archive ends inside an entry</source>
        <translation>the archive ends inside an entry</translation>
    </message>
    <message>
        <source>an entry&apos;s compressed data is damaged</source>
        <translation>an entry&apos;s compressed data is damaged</translation>
    </message>
    <message>
        <source>an entry&apos;s compressed data ends too soon</source>
        <translation>an entry&apos;s compressed data ends too soon</translation>
    </message>
    <message>
        <source>an entry&apos;s content differs from what the archive says of it</source>
        <translation>an entry&apos;s content differs from what the archive says of it</translation>
    </message>
    <message>
        <source>Choose an SMS Import/Export archive</source>
        <translation>Choose an SMS Import/Export archive</translation>
    </message>
    <message>
        <source>SMS Import/Export archives (*.zip);;All files (*)</source>
        <translation>SMS Import/Export archives (*.zip);;All files (*)</translation>
    </message>
    <message>
        <source>Import SMS Import/Export Archive...</source>
        <translation>Import SMS Import/Export Archive...</translation>
    </message>
    <message>
        <source>You</source>
        <translation>You</translation>
    </message>
    <message>
        <source>Contact card %1</source>
        <translation>Contact card %1</translation>
    </message>
    <message>
        <source>Picture %1</source>
        <translation>Picture %1</translation>
    </message>
</context>
</TS>
