# Sources of board/ in kelvra_ui.
