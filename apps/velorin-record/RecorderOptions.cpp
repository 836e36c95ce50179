namespace velorin {}
