// Identifiers shared by linewatch.rc and the windows that use its templates; plain #defines so
// that the resource compiler reads the same file.
#pragma once

#define IDI_LINEWATCH 128

// Statics the code never reaches.
#define IDC_STATIC (-1)

#define IDD_MONITOR 102
#define IDD_SETTINGS 130
#define IDD_UNIT_SELECT 134

// String table: the start-up messages.
#define IDS_ALREADY_RUNNING 3
#define IDS_SOCKET_STARTUP 4
#define IDS_NO_UPS_NUMBER 6
#define IDS_NO_DISPLAY_ITEMS 8
#define IDS_NEED_TAB_FILE 9
#define IDS_NO_LOCAL_HOST_NAME 10

// Main window. The caption statics skip 1012.
#define IDC_GRAPH1 1000
#define IDC_GRAPH2 1001
#define IDC_GRAPH3 1002
#define IDC_GRAPH4 1003
#define IDC_GRAPH5 1004
#define IDC_GRAPH6 1005
#define IDC_SETTINGS 1006
#define IDC_CAPTION1 1009
#define IDC_CAPTION2 1010
#define IDC_CAPTION3 1011
#define IDC_CAPTION4 1013
#define IDC_CAPTION5 1014
#define IDC_CAPTION6 1015
#define IDC_VALUE1 1016
#define IDC_VALUE2 1017
#define IDC_VALUE3 1018
#define IDC_VALUE4 1019
#define IDC_VALUE5 1020
#define IDC_VALUE6 1021
#define IDC_TIME 1022
#define IDC_STATUS 1055
#define IDC_STATUS_CAPTION 1056

// Settings dialog.
#define IDC_LOWER 1025
#define IDC_UPPER 1026
#define IDC_SIZE_LIST 1028
#define IDC_CHOOSE_COLOR 1043
#define IDC_TARGET_REDZONE 1044
#define IDC_TARGET_GRAPH 1045
#define IDC_TARGET_BACKGROUND 1046
#define IDC_ITEM_LIST 1047
#define IDC_INTERVAL 1057

// Unit selection.
#define IDC_UNIT_LIST 1062
