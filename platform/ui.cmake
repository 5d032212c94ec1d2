# Sources of platform/ in kelvra_ui.
