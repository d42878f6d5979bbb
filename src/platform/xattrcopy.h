#pragma once

// Extended attributes (user data, POSIX ACLs as system.posix_acl_*) passed from a replaced
// file to its replacement.

// Makes to's extended attributes those of from: copies each one and removes any other (such
// as an ACL inherited from the folder). False when one cannot be read, set or removed.
bool CopyExtendedAttributes(int from, int to);
