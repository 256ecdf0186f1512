<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<context>
    <name>Ferrywright</name>
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
        <source>A new version of %1 is available. Would you like to download it now?</source>
        <translation>A new version of %1 is available. Would you like to download it now?</translation>
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
</context>
</TS>
