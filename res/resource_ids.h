/* Numeric ids shared by the resource script and the program.
 *
 * Plain #defines only, so that windres and the C++ compiler read the same
 * file. Resources loaded by name (menu, accelerators, dialogs, bitmaps, icons,
 * cursor) keep their string names and have no entry here. */
#ifndef TARNEL_RES_RESOURCE_IDS_H
#define TARNEL_RES_RESOURCE_IDS_H

/* Commands of the menu, the toolbar and the accelerators (low word of
 * WM_COMMAND's wParam). */
#define CMD_EXIT              110
#define CMD_LARGE_ICON_VIEW   120
#define CMD_SMALL_ICON_VIEW   121
#define CMD_LIST_VIEW         122
#define CMD_DETAILS_VIEW      123
#define CMD_UP_ONE_LEVEL      124
#define CMD_PROPERTIES        125
#define CMD_REFRESH           126
#define CMD_ABOUT             130
#define CMD_HELP              40004

/* Commands beyond the menu's first ones, reached from their own menu items
 * and accelerators: going to a path, following a link, finding objects by
 * name, going to the next one found, copying a path. */
#define CMD_GO_TO             140
#define CMD_FOLLOW_LINK       141
#define CMD_FIND              142
#define CMD_FIND_NEXT         143
#define CMD_COPY_PATH         144
/* Finding the objects this account may change: the Find box's search with a
 * choice of rights instead of a name. */
#define CMD_FIND_ACCESSIBLE   145

/* Inspect Object: a sheet with the Handles, Access and Type pages, for an
 * object of any type, whatever it grants. */
#define CMD_INSPECT_OBJECT    146

/* Snapshots: the shown directory's subtree or the whole namespace saved to a
 * file, and a snapshot compared with the live namespace or another snapshot. */
#define CMD_SAVE_SNAPSHOT     147
#define CMD_COMPARE_SNAPSHOT  148

/* Strings. The toolbar tooltips are the strings whose ids equal the buttons'
 * command ids, CMD_LARGE_ICON_VIEW to CMD_PROPERTIES. */
#define STR_STATUS_PREFIX     10

/* DETAIL_DLG, the Details page of the object property sheet. */
#define IDC_DETAIL_NAME            1005  /* the object's full path */
#define IDC_DETAIL_TYPE            1006  /* the object's type name */
#define IDC_DETAIL_HANDLES         1008  /* handle count */
#define IDC_DETAIL_PAGED           1010  /* paged pool charge */
#define IDC_DETAIL_NONPAGED        1013  /* non-paged pool charge */
#define IDC_DETAIL_REFERENCES      1019  /* reference count */
#define IDC_DETAIL_SECTION_VALUE1  1022  /* first value of the type section */
#define IDC_DETAIL_SECTION_LABEL1  1024  /* first label of the type section */
#define IDC_DETAIL_SECTION_GROUP   1025  /* group box of the type section; its text is the section's caption */
#define IDC_DETAIL_PERMANENT       1026  /* check box, checked for a permanent object */
#define IDC_DETAIL_SECTION_VALUE2  1027  /* second value of the type section */
#define IDC_DETAIL_SECTION_LABEL2  1028  /* second label of the type section */

/* SECURITY, the Security page of the object property sheet. */
#define IDC_SECURITY_PERMISSIONS       127  /* button: the permissions editor */
#define IDC_SECURITY_AUDITING          128  /* button: the auditing editor */
#define IDC_SECURITY_OWNERSHIP         129  /* button: the ownership editor */
#define IDC_SECURITY_PERMISSIONS_TEXT  401  /* what the Permissions button does */
#define IDC_SECURITY_AUDITING_TEXT     402  /* what the Auditing button does */
#define IDC_SECURITY_OWNERSHIP_TEXT    403  /* what the Ownership button does */

/* HANDLES, the Handles page of the object property sheet. */
#define IDC_HANDLES_SUMMARY      1300  /* "3 handles in 2 processes", or why nothing is listed */
#define IDC_HANDLES_REFRESH      1301  /* button: searches the handles again */
#define IDC_HANDLES_LIST         1302  /* report list: process, process id, handle, access */
#define IDC_HANDLES_UNINSPECTED  1303  /* the processes that could not be inspected */
#define IDC_HANDLES_NOTE         1304  /* why the Details page's handle count differs */
#define IDC_HANDLES_NOT_ANSWERING 1305 /* the handles whose query did not answer in time */

/* ACCESS_PAGE, the Access page of the object property sheet: what this
 * account may do with the object, and its descriptor as SDDL text. */
#define IDC_ACCESS_SUMMARY      1400  /* the granted mask, or why there is none */
#define IDC_ACCESS_REFRESH      1401  /* button: reads the access and the descriptor again */
#define IDC_ACCESS_RIGHTS       1402  /* report list: right, its mask, granted or not */
#define IDC_ACCESS_CHECK        1403  /* what an access check of the account's token against the DACL says */
#define IDC_ACCESS_SDDL_LABEL   1404  /* what the text below holds, or why it is missing */
#define IDC_ACCESS_COPY         1405  /* button: copies the text */
#define IDC_ACCESS_SDDL         1406  /* read-only edit box: the descriptor as SDDL text */

/* TYPE_PAGE, the Type page: what the object's type is and what the object holds. */
#define IDC_TYPE_SUMMARY         1500  /* the object's path, or why nothing is shown */
#define IDC_TYPE_REFRESH         1501  /* button: reads the facts again */
#define IDC_TYPE_LIST            1502  /* report list: item and value, in groups under headings */

/* The computer shown on the Security page: the first in the Permissions
 * group, the second in the Auditing and Ownership groups. Both hold the same
 * picture. */
#define IDI_SECURITY_COMPUTER_PERMISSIONS  200
#define IDI_SECURITY_COMPUTER_AUDITING     201

/* GOTO_DLG, the Go To box. Its labels have ids of their own: a box whose
 * text has the id -1 is taken for a message box. */
#define IDC_GOTO_LABEL             1200
#define IDC_GOTO_PATH              1201  /* the path to go to */

/* FIND_DLG, the Find box; its Find button is IDOK and Close is IDCANCEL. */
#define IDC_FIND_LABEL             1210
#define IDC_FIND_TEXT              1211  /* the part of a name to look for */
#define IDC_FIND_HERE              1212  /* radio button: from the shown directory down */
#define IDC_FIND_EVERYWHERE        1213  /* radio button: the whole namespace */
#define IDC_FIND_STOP              1214
#define IDC_FIND_RESULTS           1215  /* list of what was found: path and type */
#define IDC_FIND_COUNT             1216  /* how many were found so far */
#define IDC_FIND_NOTES             1217  /* the directories that could not be searched */

/* FIND_ACCESS_DLG, the Find Accessible box: the Find box's controls, with a
 * choice of rights in the place of the name. */
#define IDC_FIND_RIGHTS_LABEL      1218
#define IDC_FIND_RIGHTS            1219  /* drop-down list: which rights make an object a result */
#define IDC_FIND_DEVICES           1220  /* check box: devices are opened too */

/* SNAPSHOT_SAVE_DLG, the Save Snapshot box; its Save button is IDOK and Close is IDCANCEL. */
#define IDC_SNAPSHOT_HERE          1600  /* radio button: from the shown directory down */
#define IDC_SNAPSHOT_EVERYWHERE    1601  /* radio button: the whole namespace */
#define IDC_SNAPSHOT_DEVICES       1602  /* check box: devices are opened too */
#define IDC_SNAPSHOT_STOP          1603
#define IDC_SNAPSHOT_STATUS        1604  /* how far the save has got, or how it ended */

/* SNAPSHOT_COMPARE_DLG, the Compare with Snapshot box; Compare is IDOK and Close is IDCANCEL. */
#define IDC_COMPARE_OLD_LABEL      1610
#define IDC_COMPARE_OLD            1611  /* the old snapshot's file */
#define IDC_COMPARE_OLD_BROWSE     1612
#define IDC_COMPARE_LIVE           1613  /* radio button: with the live namespace */
#define IDC_COMPARE_FILE           1614  /* radio button: with another snapshot */
#define IDC_COMPARE_NEW            1615  /* that snapshot's file */
#define IDC_COMPARE_NEW_BROWSE     1616
#define IDC_COMPARE_DEVICES        1617  /* check box: the live namespace's devices are opened too */
#define IDC_COMPARE_STOP           1618
#define IDC_COMPARE_RESULTS        1619  /* owner-data list: change, path, old value, new value */
#define IDC_COMPARE_COUNT          1620  /* how many differences, or why none are listed */
#define IDC_COMPARE_NOTES          1621  /* what was left out of the comparison */

#endif
