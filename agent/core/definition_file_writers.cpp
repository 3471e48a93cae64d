// The writers of the ODI and JPF property files that generateFiles calls for each group.
// Until they are written, both write nothing and succeed.
#include "user_data_list.h"

int userDataList::generateODIfile(userDataListEntry*, int, int) { return 0; }

int userDataList::generateJPFfile(userDataListEntry*, int) { return 0; }
