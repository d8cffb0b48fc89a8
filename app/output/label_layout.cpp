// placeholder: filled in by the work on this file
