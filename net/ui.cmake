# Sources of net/ in kelvra_ui.
