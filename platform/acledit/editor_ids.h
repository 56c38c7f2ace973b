/* Resource and control ids of the stand-in ACL editor's own dialogs. */
#ifndef TARNEL_ACLEDIT_EDITOR_IDS_H
#define TARNEL_ACLEDIT_EDITOR_IDS_H

#define IDD_PERMISSIONS     100
#define IDD_SPECIAL_ACCESS  101
#define IDD_AUDITING        102
#define IDD_OWNERSHIP       103

#define IDC_OBJECT_LABEL    1000  /* "Object:", or the type name given to the ownership editor */
#define IDC_OBJECT_NAME     1001
#define IDC_OWNER_NAME      1002
#define IDC_ENTRY_LIST      1003  /* one line per entry: account, allow or deny, access */
#define IDC_NO_ACL_NOTE     1004  /* shown while the object has no list at all */
#define IDC_ACCESS_COMBO    1005  /* the main-list access rows */
#define IDC_KIND_COMBO      1006  /* Allow or Deny */
#define IDC_SPECIAL_ACCESS  1007
#define IDC_REMOVE          1008
#define IDC_ACCOUNT_NAME    1009  /* the account to add, typed by name */
#define IDC_ADD             1010
#define IDC_TAKE_OWNERSHIP  1011
#define IDC_ROWS_ANCHOR     1012  /* where the check box rows begin */
#define IDC_ACCOUNT_LABEL   1013  /* the account a special access is for */

/* Check boxes made at run time, one per access row: the special access
 * rights, or the success and the failure audit of each auditing row. */
#define IDC_FIRST_RIGHT     1100
#define IDC_FIRST_SUCCESS   1100
#define IDC_FIRST_FAILURE   1200
#define MAX_CHECK_ROWS      64

#endif
